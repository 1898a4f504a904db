/*
 * FMF map format for Tiled: opens the FMF files that tessary writes and saves them back for
 * tessary_pack, without losing a bit.
 *
 * An FMF file is a 20-byte header ("FMF_", data size, width, height, chip width and height,
 * layer count, bits per cell) and one layer of 16-bit little-endian cells, row by row. A
 * cell's low byte only uses its low 6 bits, so cell (high, low) is tile high * 64 + low of
 * a chip sheet 64 chips wide: <map name>.png beside the map, else chips.png there.
 *
 * Written for Tiled 1.8 and later; it uses only members that 1.8 already has.
 */
(function () {
    "use strict";

    var HEADER_SIZE = 20;
    var SHEET_COLUMNS = 64;
    var TILE_LIMIT = 256 * SHEET_COLUMNS;

    function hex(value, digits) {
        var text = value.toString(16).toUpperCase();
        while (text.length < digits) {
            text = "0" + text;
        }
        return "0x" + text;
    }

    function fileName(path) {
        return FileInfo.fileName(path);
    }

    // The chip sheet a map is shown with: its own, else the folder's shared one.
    function chipSheetFor(path) {
        var folder = FileInfo.path(path);
        var candidates = [
            FileInfo.joinPaths(folder, FileInfo.completeBaseName(path) + ".png"),
            FileInfo.joinPaths(folder, "chips.png"),
        ];
        for (var i = 0; i < candidates.length; ++i) {
            if (File.exists(candidates[i])) {
                // Absolute, so that a TMX file saved elsewhere still finds it.
                return FileInfo.canonicalPath(candidates[i]);
            }
        }
        throw new Error("no chip sheet for " + fileName(path) + ": put " +
                        FileInfo.fileName(candidates[0]) + " or chips.png beside it");
    }

    function readHeader(path, bytes) {
        var name = fileName(path);
        if (bytes.length < HEADER_SIZE) {
            throw new Error(name + " is not an FMF file: " + bytes.length +
                            " bytes, shorter than the 20-byte header");
        }
        var view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
        var magic = String.fromCharCode(bytes[0], bytes[1], bytes[2], bytes[3]);
        if (magic !== "FMF_") {
            throw new Error(name + " is not an FMF file: it does not begin with FMF_");
        }
        var header = {
            dataSize: view.getUint32(4, true),
            width: view.getUint32(8, true),
            height: view.getUint32(12, true),
            chipWidth: bytes[16],
            chipHeight: bytes[17],
            layers: bytes[18],
            bits: bytes[19],
        };
        if (header.dataSize !== bytes.length - HEADER_SIZE) {
            throw new Error(name + ": the header announces " + header.dataSize +
                            " bytes of cells, the file holds " + (bytes.length - HEADER_SIZE));
        }
        if (header.layers !== 1 || header.bits !== 16) {
            throw new Error(name + " holds " + header.layers + " layer(s) of " + header.bits +
                            "-bit cells; only one layer of 16-bit cells can be edited");
        }
        if (header.width * header.height * 2 !== header.dataSize) {
            throw new Error(name + ": " + header.width + " x " + header.height + " cells" +
                            " do not fill its " + header.dataSize + " bytes of cells");
        }
        if (header.chipWidth === 0 || header.chipHeight === 0) {
            throw new Error(name + ": the header gives chips no size");
        }
        return header;
    }

    function readTiles(path, bytes, header) {
        var tiles = new Array(header.width * header.height);
        for (var i = 0; i < tiles.length; ++i) {
            var low = bytes[HEADER_SIZE + 2 * i];
            var high = bytes[HEADER_SIZE + 2 * i + 1];
            if (low >= SHEET_COLUMNS) {
                throw new Error(fileName(path) + ": the cell at " + (i % header.width) + ", " +
                                Math.floor(i / header.width) + " is " +
                                hex(high * 256 + low, 4) + ": its bits 6 and 7 stand for no chip");
            }
            tiles[i] = high * SHEET_COLUMNS + low;
        }
        return tiles;
    }

    function loadChipSheet(path, header, largestTile) {
        var sheet = chipSheetFor(path);
        var tileset = new Tileset(FileInfo.completeBaseName(sheet));
        tileset.setTileSize(header.chipWidth, header.chipHeight);
        tileset.image = sheet;
        // A sheet Tiled cannot load leaves the tileset empty without an error.
        if (tileset.imageWidth === 0) {
            throw new Error("the chip sheet " + sheet + " could not be loaded as an image");
        }
        if (tileset.tileCount <= largestTile) {
            throw new Error("the chip sheet " + sheet + " has " + tileset.tileCount +
                            " chips; the map needs chip " + largestTile +
                            " (sheets are 64 chips wide, one row per high byte)");
        }
        return tileset;
    }

    function read(path) {
        var file = new BinaryFile(path, BinaryFile.ReadOnly);
        var bytes = new Uint8Array(file.readAll());
        file.close();
        var header = readHeader(path, bytes);
        var tiles = readTiles(path, bytes, header);
        var largest = tiles.reduce(function (a, b) { return Math.max(a, b); }, 0);
        var tileset = loadChipSheet(path, header, largest);

        var map = new TileMap();
        map.setSize(header.width, header.height);
        map.setTileSize(header.chipWidth, header.chipHeight);
        // Rows of numbers in the saved TMX file are easy to compare and to edit by script.
        map.layerDataFormat = TileMap.CSV;
        map.addTileset(tileset);
        var layer = new TileLayer("cells");
        layer.resize(Qt.size(header.width, header.height));
        map.addLayer(layer);
        var chips = tileset.tiles;
        var edit = layer.edit();
        for (var i = 0; i < tiles.length; ++i) {
            edit.setTile(i % header.width, Math.floor(i / header.width), chips[tiles[i]]);
        }
        edit.apply();
        return map;
    }

    // What FMF cannot hold, or null when the map can be written.
    function refusal(map) {
        if (map.infinite) {
            return "an infinite map has no fixed size, which FMF needs" +
                   " (untick Infinite in Map > Map Properties)";
        }
        if (map.layerCount !== 1 || !map.layerAt(0).isTileLayer) {
            return "FMF holds exactly one tile layer; this map has " + map.layerCount +
                   " layers";
        }
        if (map.tileWidth > 255 || map.tileHeight > 255) {
            return "FMF chips are at most 255 x 255 pixels";
        }
        var sheets = map.usedTilesets();
        if (sheets.length > 1) {
            // usedTilesets() comes in no fixed order; sorted, the message is the same every time.
            var names = sheets.map(function (tileset) { return tileset.name; }).sort();
            return "the map uses " + sheets.length + " tilesets (" + names.join(", ") +
                   "); FMF cells all come from one chip sheet";
        }
        var layer = map.layerAt(0);
        for (var y = 0; y < map.height; ++y) {
            for (var x = 0; x < map.width; ++x) {
                var at = " at " + x + ", " + y;
                var cell = layer.cellAt(x, y);
                if (cell.tileId < 0) {
                    return "the cell" + at + " is empty; every FMF cell needs a chip";
                }
                if (cell.flippedHorizontally || cell.flippedVertically ||
                    cell.flippedAntiDiagonally || cell.rotatedHexagonal120) {
                    return "the chip" + at + " is flipped or rotated, which FMF cells cannot be";
                }
                if (cell.tileId >= TILE_LIMIT) {
                    return "the chip" + at + " is tile " + cell.tileId +
                           "; FMF cells go up to tile " + (TILE_LIMIT - 1);
                }
            }
        }
        return null;
    }

    function write(map, path) {
        var problem = refusal(map);
        if (problem !== null) {
            // Tiled 1.8's command line shows only its own failure line; the console shows ours.
            var message = fileName(path) + " not written: " + problem;
            console.error(message);
            return message;
        }
        var layer = map.layerAt(0);
        var dataSize = map.width * map.height * 2;
        var bytes = new Uint8Array(HEADER_SIZE + dataSize);
        var view = new DataView(bytes.buffer);
        bytes.set([0x46, 0x4d, 0x46, 0x5f], 0);
        view.setUint32(4, dataSize, true);
        view.setUint32(8, map.width, true);
        view.setUint32(12, map.height, true);
        bytes.set([map.tileWidth, map.tileHeight, 1, 16], 16);
        var at = HEADER_SIZE;
        for (var y = 0; y < map.height; ++y) {
            for (var x = 0; x < map.width; ++x) {
                var tile = layer.cellAt(x, y).tileId;
                bytes[at++] = tile % SHEET_COLUMNS;
                bytes[at++] = Math.floor(tile / SHEET_COLUMNS);
            }
        }
        var file = new BinaryFile(path, BinaryFile.WriteOnly);
        file.write(bytes.buffer);
        file.commit();
        return undefined;
    }

    tiled.registerMapFormat("fmf", {
        name: "FMF map (tessary)",
        extension: "fmf",
        read: read,
        write: write,
    });
})();
