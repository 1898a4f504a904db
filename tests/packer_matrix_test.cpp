// Bad input for the packer, one row each: what it prints, how it exits, and that its
// inputs, the settings file and every other file are left as they were.

#include <unistd.h>

#include <filesystem>
#include <functional>

#include "encoder_test_support.h"
#include "matrix_support.h"

namespace {

const std::string kBanner = "Korvel Map Compresser\n\n";
const std::string kPackedSize = "{size}";  // replaced by the output file's size

Bytes Header(size_t size = kMapHeaderSize) {
    Bytes header(size);
    for (size_t i = 0; i < size; ++i) {
        header[i] = static_cast<uint8_t>(0x30 + i);
    }
    return header;
}

Bytes Fmf(size_t cellBytes) {
    Bytes fmf(20, 0x46);
    for (size_t i = 0; i < cellBytes; ++i) {
        fmf.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0x21 : i % 5 == 1 ? 0x40 : 0));
    }
    return fmf;
}

std::string SizeLine(size_t size) {
    return "FMF file size: " + std::to_string(size) + " bytes.\n";
}

std::string Packed(size_t fmfSize) {
    return SizeLine(fmfSize) + "Compression was successful.\nCompressed size: " + kPackedSize +
           "bytes.\n";
}

const std::string kSettings =
    "[MapGroups]\nCount=4\n[MapGroupHeight]\n1=16\n2=0\n3=-1\n[MapGroupVertical]\n1=1\n";
const std::string kNoSettings = "\x01none";

struct Row {
    std::string name;
    std::string settings;
    Bytes fmf;     // written as a.fmf
    Bytes header;  // written as a.hdr
    std::vector<std::string> args;
    std::string out;  // after the banner
    int status;
    std::vector<std::string> made;
    std::function<void(const Sandbox&)> setup = nullptr;
};

std::vector<Row> Rows() {
    const Bytes fmf = Fmf(64);
    const std::string size = SizeLine(fmf.size());
    const std::vector<std::string> args = {"a.fmf", "a.hdr", "out.bin", "1"};
    auto level = [](const std::string& text) {
        return std::vector<std::string>{"a.fmf", "a.hdr", "out.bin", text};
    };
    auto folder = [](const char* name) {
        return [name](const Sandbox& box) { std::filesystem::create_directory(box.path(name)); };
    };
    const std::string saveFailed = size + "Failed to save the output file.\n";
    const std::string invalid = "Invalid Selection. Valid numbers are between 0 and 3.\n";
    const std::string usage =
        " [FMF file] [Header sile] [Output file] [Level number]\n\n"
        "Invalid selection, select from the following:\n\n0: ?\n1: ?\n2: ?\n3: ?\n";
    std::vector<Row> rows = {
        // The FMF and header files.
        {"FMF missing",
         kSettings,
         fmf,
         Header(),
         {"none.fmf", "a.hdr", "out.bin", "1"},
         "Failed to open the FMF file.\n",
         255,
         {}},
        {"FMF is a directory",
         kSettings,
         fmf,
         Header(),
         {"dir", "a.hdr", "out.bin", "1"},
         "Failed to open the FMF file.\n",
         255,
         {},
         folder("dir")},
        {"FMF of exactly 20 bytes", kSettings, Fmf(0), Header(), args, Packed(20), 0, {"out.bin"}},
        {"FMF of odd size", kSettings, Fmf(37), Header(), args, Packed(57), 0, {"out.bin"}},
        {"FMF not a whole number of strips",
         kSettings,
         Fmf(100),
         Header(),
         args,
         Packed(120),
         0,
         {"out.bin"}},
        {"FMF beyond 65536 bytes of cells",
         kSettings,
         Fmf(70000),
         Header(),
         args,
         Packed(70020),
         0,
         {"out.bin"}},
        {"header missing",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "none.hdr", "out.bin", "1"},
         size + "Failed to open the header file.\n",
         255,
         {}},
        {"header is a directory",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "dir", "out.bin", "1"},
         size + "Failed to open the header file.\n",
         255,
         {},
         folder("dir")},
        {"header of 0 bytes",
         kSettings,
         fmf,
         Header(0),
         args,
         size + "The header file is too short.\n",
         255,
         {}},
        {"header of 37 bytes",
         kSettings,
         fmf,
         Header(37),
         args,
         size + "The header file is too short.\n",
         255,
         {}},
        {"header of 38 bytes",
         kSettings,
         fmf,
         Header(38),
         args,
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"header of 39 bytes",
         kSettings,
         fmf,
         Header(39),
         args,
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        // The output file.
        {"output in a missing folder",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "none/out.bin", "1"},
         saveFailed,
         255,
         {}},
        {"output onto a full device",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "/dev/full", "1"},
         saveFailed,
         255,
         {}},
        {"output onto the FMF file",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "./a.fmf", "1"},
         saveFailed,
         255,
         {}},
        {"output onto the header file",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "a.hdr", "1"},
         saveFailed,
         255,
         {}},
        {"output onto the settings file",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "../bin/tessary.ini", "1"},
         saveFailed,
         255,
         {}},
        {"output onto the FMF file by a link",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "link", "1"},
         saveFailed,
         255,
         {},
         [](const Sandbox& box) {
             std::filesystem::create_symlink(box.path("a.fmf"), box.path("link"));
         }},
        // Settings.
        {"settings missing",
         kNoSettings,
         fmf,
         Header(),
         level("14"),
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"height 0",
         kSettings,
         fmf,
         Header(),
         level("2"),
         "Invalid map height for this level.\n",
         255,
         {}},
        {"height -1",
         kSettings,
         fmf,
         Header(),
         level("3"),
         "Invalid map height for this level.\n",
         255,
         {}},
        {"height huge",
         "[MapGroupHeight]\n1=2147483647\n",
         fmf,
         Header(),
         args,
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"Count zero",
         "[MapGroups]\nCount=0\n",
         fmf,
         Header(),
         level("0"),
         "Invalid Selection. Valid numbers are between 0 and -1.\n",
         255,
         {}},
        // The command line.
        {"level with no digits",
         kSettings,
         fmf,
         Header(),
         level("abc"),
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"level 1st", kSettings, fmf, Header(), level("1st"), Packed(fmf.size()), 0, {"out.bin"}},
        {"level blank plus 1",
         kSettings,
         fmf,
         Header(),
         level("\t+1"),
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"level 4", kSettings, fmf, Header(), level("4"), invalid, 255, {}},
        {"level -1", kSettings, fmf, Header(), level("-1"), invalid, 255, {}},
        {"level huge", kSettings, fmf, Header(), level("184467440737095516160"), invalid, 255, {}},
        {"extra arguments ignored",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "out.bin", "1", "x", "--version"},
         Packed(fmf.size()),
         0,
         {"out.bin"}},
        {"names with spaces and non-ASCII",
         kSettings,
         fmf,
         Header(),
         {"a.fmf", "a.hdr", "n\xC3\xA9w level.bin", "1"},
         Packed(fmf.size()),
         0,
         {"n\xC3\xA9w level.bin"}},
        {"three arguments", kSettings, fmf, Header(), {"a.fmf", "a.hdr", "out.bin"}, usage, 0, {}},
    };
    for (size_t shortSize = 0; shortSize < 20; ++shortSize) {
        rows.push_back({"FMF of " + std::to_string(shortSize) + " bytes",
                        kSettings,
                        Bytes(shortSize, 0x46),
                        Header(),
                        args,
                        SizeLine(shortSize) + "The FMF file is too short.\n",
                        255,
                        {}});
    }
    return rows;
}

TEST(PackerMatrix, EveryRow) {
    for (const Row& row : Rows()) {
        Sandbox box;
        if (row.settings != kNoSettings) {
            box.writeSettings(row.settings);
        }
        box.writeFile("a.fmf", row.fmf);
        box.writeFile("a.hdr", row.header);
        if (row.setup) {
            row.setup(box);
        }
        RunPacker(box, {});  // puts the program copy in place before the snapshot
        FileStates before = box.snapshot();
        ProgramResult r = RunPacker(box, row.args);
        std::string expected = kBanner + row.out;
        if (row.args.size() < 4) {
            expected = kBanner + "Usage: " + box.programFolder() + "/tessary_pack" + row.out;
        }
        size_t placeholder = expected.find(kPackedSize);
        if (placeholder != std::string::npos) {
            expected.replace(placeholder, kPackedSize.size(),
                             std::to_string(box.readFile(row.made.at(0)).size()));
        }
        EXPECT_EQ(r.out, expected) << row.name;
        EXPECT_EQ(r.exitStatus, row.status) << row.name;
        FileStates after = box.snapshot();
        ExpectOnlyDocumentedFiles(before, after, row.made, row.name);
        if (row.status == 0 && !row.made.empty()) {
            Bytes output = box.readFile(row.made[0]);
            ASSERT_GE(output.size(), 39u) << row.name;
            EXPECT_EQ(Bytes(output.begin(), output.begin() + 38), Header()) << row.name;
        }
    }
}

}  // namespace

namespace {

// Root reads any file whatever its permissions, so this runs only for other users.
TEST(PackerMatrix, UnreadableInputsAreNotOpened) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    for (const char* unreadable : {"a.fmf", "a.hdr"}) {
        Sandbox box;
        box.writeSettings(kSettings);
        box.writeFile("a.fmf", Fmf(64));
        box.writeFile("a.hdr", Header());
        std::filesystem::permissions(box.path(unreadable), std::filesystem::perms::none);
        ProgramResult r = RunPacker(box, {"a.fmf", "a.hdr", "out.bin", "1"});
        EXPECT_EQ(r.out, kBanner + (unreadable == std::string("a.fmf")
                                        ? "Failed to open the FMF file.\n"
                                        : SizeLine(84) + "Failed to open the header file.\n"));
        EXPECT_EQ(r.exitStatus, 255);
        EXPECT_FALSE(box.exists("out.bin"));
        std::filesystem::permissions(box.path(unreadable), std::filesystem::perms::owner_all);
    }
}

}  // namespace
