#!/usr/bin/env python3
"""Writes a small word-processor document holding the given text.

    make-document.py OUTPUT TEXT [TEXT...]

The format follows OUTPUT's extension: .docx, .odt, .rtf or .txt.
Each TEXT becomes one paragraph. --pages N (.docx) repeats the paragraphs on
N pages; "PAGENUMBER" in a paragraph becomes the page's number.

    make-document.py --locked encrypted|rights OUTPUT TEXT...

writes a compound (OLE) file shaped as Office writes a password-encrypted
.docx (EncryptionInfo and EncryptedPackage streams beside a \x06DataSpaces
storage) or a rights-managed .doc (a WordDocument stream beside a
\x06DataSpaces storage); the streams hold TEXT, not real ciphertext.
"""
import struct
import sys
import zipfile
from xml.sax.saxutils import escape


def docx(path, paragraphs, pages=1):
    page = "".join(
        f'<w:p><w:r><w:t xml:space="preserve">{escape(p)}</w:t></w:r></w:p>' for p in paragraphs)
    brk = '<w:p><w:r><w:br w:type="page"/></w:r></w:p>'
    body = brk.join(page.replace("PAGENUMBER", str(n + 1)) for n in range(pages))
    main_type = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   f'<Override PartName="/word/document.xml" ContentType="{main_type}"/>'
                   '</Types>')
        z.writestr("_rels/.rels",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
                   '</Relationships>')
        z.writestr("word/document.xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">'
                   f'<w:body>{body}</w:body></w:document>')


def odt(path, paragraphs, pages=1):
    body = "".join(f"<text:p>{escape(p)}</text:p>" for p in paragraphs)
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.text",
                   compress_type=zipfile.ZIP_STORED)
        z.writestr("META-INF/manifest.xml",
                   '<?xml version="1.0" encoding="UTF-8"?>'
                   '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">'
                   '<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>'
                   '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                   '</manifest:manifest>')
        z.writestr("content.xml",
                   '<?xml version="1.0" encoding="UTF-8"?>'
                   '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
                   'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
                   f'<office:body><office:text>{body}</office:text></office:body></office:document-content>')


def rtf(path, paragraphs, pages=1):
    def enc(p):
        out = []
        for ch in p:
            if ch in "\\{}":
                out.append("\\" + ch)
            elif ord(ch) > 127:
                out.append(f"\\u{ord(ch) if ord(ch) < 32768 else ord(ch) - 65536}?")
            else:
                out.append(ch)
        return "".join(out)
    body = "".join(f"{enc(p)}\\par\n" for p in paragraphs)
    with open(path, "w", encoding="ascii") as f:
        f.write("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24\n" + body + "}\n")


def txt(path, paragraphs, pages=1):
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(paragraphs) + "\n")


END, FREE, FATSECT, NOSTREAM = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD, 0xFFFFFFFF


def compound(path, entries):
    """A version 3 compound file (512-byte sectors). entries: (name, type,
    data) under the root, type 1 a storage, 2 a stream; streams are stored
    in regular sectors (padded to 4096 bytes, so no mini stream is needed)."""
    sectors = []  # the sectors after the FAT and the directory
    starts = []
    for _, kind, data in entries:
        if kind != 2:
            starts.append((END, 0))
            continue
        data = data.ljust(4096, b"\0")
        first = 2 + len(sectors)
        sectors += [data[i:i + 512] for i in range(0, len(data), 512)]
        starts.append((first, len(data)))
    fat = [FATSECT, END]
    for i, (first, size) in enumerate(starts):
        if size:
            count = size // 512
            fat += [first + k + 1 for k in range(count - 1)] + [END]
    fat += [FREE] * (128 - len(fat))

    def entry(name, kind, child=NOSTREAM, left=NOSTREAM, right=NOSTREAM, start=END, size=0):
        raw = name.encode("utf-16-le") + b"\0\0"
        return (raw.ljust(64, b"\0") + struct.pack("<HBB3I", len(raw), kind, 1, left, right, child)
                + b"\0" * 16 + b"\0" * 4 + b"\0" * 16 + struct.pack("<IQ", start, size))

    # Siblings as a simple chain: each entry's right sibling is the next.
    directory = entry("Root Entry", 5, child=1 if entries else NOSTREAM)
    for i, ((name, kind, _), (start, size)) in enumerate(zip(entries, starts)):
        right = i + 2 if i + 1 < len(entries) else NOSTREAM
        directory += entry(name, kind, right=right, start=start, size=size)
    directory = directory.ljust(512, b"\0")  # 4 entries a sector: enough here
    header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16
              + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6
              + struct.pack("<IIIIIIIII", 0, 1, 1, 0, 4096, END, 0, END, 0)
              + struct.pack("<I", 0) + struct.pack("<I", FREE) * 108)
    with open(path, "wb") as f:
        f.write(header + struct.pack("<128I", *fat) + directory + b"".join(sectors))


def locked(path, kind, paragraphs):
    text = "\n".join(paragraphs).encode("utf-8")
    if kind == "encrypted":
        compound(path, [("\x06DataSpaces", 1, b""), ("EncryptionInfo", 2, b"\4\0\4\0" + text),
                        ("EncryptedPackage", 2, text)])
    else:
        compound(path, [("\x06DataSpaces", 1, b""), ("WordDocument", 2, text)])


def main():
    args = sys.argv[1:]
    if args[:1] == ["--locked"]:
        return locked(args[2], args[1], args[3:])
    pages = 1
    if "--pages" in args:
        i = args.index("--pages")
        pages = int(args[i + 1])
        del args[i:i + 2]
    if len(args) < 2:
        sys.exit(__doc__)
    path, paragraphs = args[0], args[1:]
    ext = path.rsplit(".", 1)[-1].lower()
    writers = {"docx": docx, "odt": odt, "rtf": rtf, "txt": txt}
    if ext not in writers:
        sys.exit(f"unknown format: {ext}")
    writers[ext](path, paragraphs, pages=pages)


if __name__ == "__main__":
    main()
