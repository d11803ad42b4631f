#!/usr/bin/env python3
"""Writes reference-nonascii.bo.wire: the reference order with its descriptive texts (names,
streets, cities, descriptions, the comment) in other scripts, so that about 13 % of the
characters of the whole text are not ASCII: accented Latin, kana, CJK and an emoji. Keys,
numbers, dates and the wire's own fields stay as they are. Run from bench/data."""
import re

TEXTS = {
    "CustomerName": "Zoë Françoise Müller-Ødegård",
    "ShipStreet": "神奈川県横浜市中区 Straße 7",
    "ShipCity": "東京都 渋谷区",
    "BillStreet": "Rue de l'Église 3",
    "BillCity": "Kraków 大阪",
    "SalesRep": "José Núñez",
    "Region": "Île-de-France",
    "Description": "ソフトウェア製品の説明書と保証書、日本語版と英語版 Ärger-frei 😀",
    "Name": "山田太郎（やまだ たろう）様・佐藤",
    "Role": "Geschäftsführer・営業担当者",
}


def fields(text):
    pos, out = 0, []
    while pos < len(text):
        d = text.index("\x03", pos)
        n = int(text[pos:d])
        out.append(text[d + 1 : d + 1 + n])
        pos = d + 1 + n
    return out


def units(t):
    return len(t.encode("utf-16-le")) // 2


src = open("reference.bo.wire", encoding="utf-8").read()
out = []
for f in fields(src):
    m = re.match(r"^([A-Za-z]+)-(\d+)$", f)
    if m and m.group(1) in TEXTS:
        f = f"{TEXTS[m.group(1)]} {m.group(2)}"
    elif f.startswith("Long text for Comment"):
        f = f + " Überprüfung der Lieferung: 配送の確認、よろしくお願いします。"
    out.append(f)
text = "".join(f"{units(f)}\x03{f}" for f in out)
chars = len(text)
other = sum(1 for c in text if ord(c) > 127)
open("reference-nonascii.bo.wire", "w", encoding="utf-8", newline="").write(text)
print(f"{units(text)} units, {chars} characters, {100 * other / chars:.1f} % not ASCII")
