#!/bin/bash
# Writes the sample documents that come with the program (data/Samples).
# Run from the repository root; needs python3 and LibreOffice (for the .doc).
set -euo pipefail
make=tests/tools/make-document.py
out=data/Samples
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
python3 $make "$out/Sample 1 - Welcome.docx" "Marrowlake sample 1 of 3 (Word document, .docx)" \
    "This page was printed by Marrowlake, which prints many documents in one run." \
    "The documents are printed in the order of the list; drag rows to change it."
python3 $make "$out/Sample 2 - Options.odt" "Marrowlake sample 2 of 3 (OpenDocument text, .odt)" \
    "Choose the printer and the pause after each document on the Options tab." \
    "Marrowlake remembers both choices for the next start."
python3 $make "$tmp/Sample 3 - Folders.rtf" "Marrowlake sample 3 of 3 (Word 97 document, .doc)" \
    "Add Folder adds every Word document of a folder and of all its subfolders." \
    "Files and folders can also be dropped onto the list."
soffice -env:UserInstallation=file://$tmp/profile --headless --convert-to doc --outdir "$out" \
    "$tmp/Sample 3 - Folders.rtf" >/dev/null 2>&1
ls -l "$out"
