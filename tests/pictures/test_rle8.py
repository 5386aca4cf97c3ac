#!/usr/bin/env python3
"""Checks of the BI_RLE8 writer in tools/pictures/make_pictures.py and of the
files it writes.

    python3 tests/pictures/test_rle8.py
"""

import os
import random
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "..", "tools", "pictures"))
import make_pictures as mp  # noqa: E402


def ops(row_code):
    """Splits the code of one row into its operations, checking the
    alignment of absolute runs on the way: [('run', n, v) | ('abs', bytes)]."""
    out = []
    i = 0
    while i < len(row_code):
        first, second = row_code[i], row_code[i + 1]
        i += 2
        if first:
            out.append(("run", first, second))
        else:
            assert second >= 3, "escape %d inside a row" % second
            out.append(("abs", bytes(row_code[i:i + second])))
            i += second + (second & 1)
            assert i % 2 == 0
    return out


class RoundTrip(unittest.TestCase):
    def round_trip(self, rows):
        width = len(rows[0])
        data = mp.rle8_encode(rows)
        self.assertEqual(len(data) % 2, 0)
        self.assertEqual(data[-2:], b"\x00\x01")
        self.assertEqual(mp.rle8_decode(data, width, len(rows)), [bytes(r) for r in rows])
        return data

    def test_random_rows_of_many_widths(self):
        rng = random.Random(1234)
        for width in (1, 2, 3, 4, 5, 125, 254, 255, 256, 257, 511, 600):
            for palette_size in (1, 2, 3, 256):
                rows = [bytes(rng.randrange(palette_size) for _ in range(width))
                        for _ in range(7)]
                with self.subTest(width=width, colours=palette_size):
                    self.round_trip(rows)

    def test_rows_with_short_and_long_runs_mixed(self):
        rng = random.Random(99)
        for _ in range(200):
            row = bytearray()
            while len(row) < 300:
                length = rng.choice((1, 1, 2, 3, 4, 254, 255, 256, 300))
                row += bytes((rng.randrange(4),)) * length
            self.round_trip([bytes(row[:rng.randrange(1, 300)])] * 1)

    def test_run_of_exactly_255_and_256(self):
        self.assertEqual(mp.rle8_encode_row(b"\x07" * 255), b"\xff\x07")
        self.assertEqual(mp.rle8_encode_row(b"\x07" * 256), b"\xff\x07\x01\x07")

    def test_one_and_two_odd_bytes_are_runs_not_absolute(self):
        # An absolute run of one or two would read as end-of-bitmap or delta.
        self.assertEqual(mp.rle8_encode_row(b"\x05"), b"\x01\x05")
        self.assertEqual(mp.rle8_encode_row(b"\x05\x06"), b"\x01\x05\x01\x06")
        self.assertEqual(mp.rle8_encode_row(b"\x09\x09\x09\x05\x06"),
                         b"\x03\x09\x01\x05\x01\x06")
        self.assertEqual(mp.rle8_encode_row(b"\x05\x05\x06\x06\x06"),
                         b"\x02\x05\x03\x06")

    def test_odd_absolute_run_is_padded(self):
        self.assertEqual(mp.rle8_encode_row(b"\x01\x02\x03"), b"\x00\x03\x01\x02\x03\x00")
        self.assertEqual(mp.rle8_encode_row(b"\x01\x02\x03\x04"), b"\x00\x04\x01\x02\x03\x04")

    def test_long_literal_is_split_at_255(self):
        row = bytes(i % 2 for i in range(600))
        code = mp.rle8_encode_row(row)
        lengths = [len(op[1]) for op in ops(code) if op[0] == "abs"]
        self.assertTrue(all(3 <= n <= 255 for n in lengths), lengths)
        self.assertEqual(mp.rle8_decode(code + b"\x00\x01", 600, 1), [row])

    def test_every_row_ends_with_end_of_line(self):
        rows = [b"\x01\x02\x03", b"\x04\x04\x04"]
        self.assertEqual(mp.rle8_encode(rows),
                         b"\x00\x03\x01\x02\x03\x00" b"\x00\x00" b"\x03\x04" b"\x00\x00" b"\x00\x01")


class StrictDecoder(unittest.TestCase):
    """The decoder is the check of the encoder, so it must refuse what a
    careful reader refuses."""

    def test_refuses_malformed_data(self):
        cases = {
            "run past the row": b"\x05\x01\x00\x01",
            "no end of bitmap": b"\x04\x01\x00\x00",
            "unpadded odd absolute run": b"\x00\x03\x01\x02\x03\x00\x01",
            "absolute run past the row": b"\x00\x05\x01\x02\x03\x04\x05\x00\x00\x01",
            "bytes after the end": b"\x04\x01\x00\x00\x00\x01\x00\x00",
            "pixels after the last row": b"\x04\x01\x00\x00\x04\x01\x00\x01",
            "truncated absolute run": b"\x00\x04\x01\x02",
        }
        for name, data in cases.items():
            with self.subTest(name):
                with self.assertRaises(mp.RleError):
                    mp.rle8_decode(data, 4, 1)

    def test_delta_leaves_skipped_pixels_zero(self):
        rows = mp.rle8_decode(b"\x01\x07\x00\x02\x02\x01\x01\x08\x00\x01", 4, 2)
        self.assertEqual(rows, [b"\x07\x00\x00\x00", b"\x00\x00\x00\x08"])


class Files(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.files = mp.write_all(cls.tmp.name)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_side_pictures_read_back_compressed_and_small(self):
        drawn = {"side.bmp": mp.draw_install_picture(),
                 "side_alt.bmp": mp.draw_uninstall_picture()}
        for name, (palette, pixels) in drawn.items():
            with self.subTest(name):
                blob = self.files[name]
                width, height, compression, file_palette, rows = mp.parse_bmp(blob)
                self.assertEqual((width, height, compression), (125, 241, mp.BI_RLE8))
                self.assertEqual(len(file_palette), 256)
                self.assertEqual(rows, [bytes(r) for r in reversed(pixels)])
                self.assertEqual(file_palette[:len(palette)], palette)
                self.assertLess(len(blob), 8 * 1024)
                with open(os.path.join(self.tmp.name, name), "rb") as f:
                    self.assertEqual(f.read(), blob)

    def test_side_pictures_differ(self):
        a = mp.parse_bmp(self.files["side.bmp"])[4]
        b = mp.parse_bmp(self.files["side_alt.bmp"])[4]
        self.assertNotEqual(a, b)

    def test_uncompressed_fallback_holds_the_same_picture(self):
        with tempfile.TemporaryDirectory() as tmp:
            plain = mp.write_all(tmp, compress=False)
        for name in ("side.bmp", "side_alt.bmp"):
            with self.subTest(name):
                packed = mp.parse_bmp(self.files[name])
                flat = mp.parse_bmp(plain[name])
                self.assertEqual(flat[2], mp.BI_RGB)
                self.assertEqual(flat[3:], packed[3:])

    def test_icon_has_32_and_16_pixel_images_in_16_colours(self):
        blob = self.files["setup.ico"]
        reserved, kind, count = struct.unpack_from("<HHH", blob, 0)
        self.assertEqual((reserved, kind, count), (0, 1, 2))
        sizes = []
        for i in range(count):
            w, h, colours, _, planes, bits, length, offset = struct.unpack_from(
                "<BBBBHHII", blob, 6 + 16 * i)
            self.assertEqual((colours, planes, bits), (16, 1, 4))
            self.assertLessEqual(offset + length, len(blob))
            hsize, bw, bh, _, bbits = struct.unpack_from("<IiiHH", blob, offset)
            self.assertEqual((hsize, bw, bh, bbits), (40, w, 2 * h, 4))
            xor = mp._stride(w, 4) * h
            mask = mp._stride(w, 1) * h
            self.assertEqual(length, 40 + 64 + xor + mask)
            # Some pixels are transparent, some are not.
            mask_bytes = blob[offset + 40 + 64 + xor:offset + length]
            self.assertTrue(any(mask_bytes))
            self.assertFalse(all(b == 0xFF for b in mask_bytes))
            sizes.append(w)
        self.assertEqual(sizes, [32, 16])


if __name__ == "__main__":
    unittest.main()
