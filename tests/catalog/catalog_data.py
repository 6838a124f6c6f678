"""A reader of the catalog's data, written from its description alone
(docs/catalog-format.md): a test oracle for the catalog page and the
benchmark, never used by the program.

    python3 catalog_data.py CATALOG.html   prints the listing as JSON lines
"""
import base64
import json
import sys
import zlib

START = b'<script type="application/x-kestrova-catalog" id="catalog-data" data-version="2">\n'
DIGEST_BYTES = {b"sha256": 32, b"sha1": 20, b"md5": 16, b"xxh128": 16}


class Reader:
    def __init__(self, data):
        self.data = data
        self.at = 0

    def byte(self):
        value = self.data[self.at]
        self.at += 1
        return value

    def varint(self):
        value, shift = 0, 0
        while True:
            byte = self.byte()
            value |= (byte & 0x7F) << shift
            shift += 7
            if byte < 0x80:
                return value

    def zigzag(self):
        value = self.varint()
        return (value >> 1) ^ -(value & 1)

    def take(self, size):
        piece = self.data[self.at:self.at + size]
        if len(piece) != size:
            raise ValueError("the data ends inside a field")
        self.at += size
        return piece

    def string(self):
        return self.take(self.varint())

    def column(self):
        return Reader(self.string())


def payload_of(page):
    start = page.index(START) + len(START)
    end = page.index(b"</script>", start)
    lines = page[start:end].split(b"\n")
    if any(len(line) > 4096 for line in lines):
        raise ValueError("a line of the data is longer than 4096 characters")
    compressed = b"".join(base64.b64decode(line) for line in lines if line)
    return zlib.decompress(compressed)


def read_catalog(page):
    """The catalog as {header, types, folders, entries}: each entry a dict
    with its folder's number, name (bytes), attributes, size and modified,
    and its checksums ({algorithm: hex, or None where it could not be read})
    where the catalog holds them."""
    r = Reader(payload_of(page))
    if r.take(8) != b"KCATALOG":
        raise ValueError("not a catalog")
    version = r.varint()
    if version not in (1, 2):
        raise ValueError("a catalog of version %d" % version)
    header = {"title": r.string(), "top_path": r.string(), "top_name": r.string(),
              "written": r.zigzag(), "link_mode": r.varint(), "link_base": r.string(),
              "flags": r.varint()}
    algorithms = [r.string() for _ in range(r.varint())] if version == 2 else []
    entries, types, folders, runs = [], {}, [], []
    while True:
        tag = chr(r.byte())
        if tag == "E":
            section_runs = [r.varint() for _ in range(r.varint())]
            count = r.varint()
            if sum(section_runs) != count:
                raise ValueError("a section's runs do not add up")
            prefix, suffix_length, suffix = r.column(), r.column(), r.column()
            attributes, size, modified, targets = r.column(), r.column(), r.column(), r.column()
            times = []
            if count:
                least, planes = modified.zigzag(), modified.varint()
                times = [least] * count
                for plane in range(planes):
                    for at, byte in enumerate(modified.take(count)):
                        times[at] += byte << (8 * plane)
            next_time = iter(times)
            for run in section_runs:
                folder = len(runs)
                runs.append(run)
                previous = b""
                for _ in range(run):
                    name = previous[:prefix.varint()] + suffix.take(suffix_length.varint())
                    previous = name
                    entry = {"folder": folder, "name": name, "attributes": attributes.varint(),
                             "size": size.varint()}
                    entry["modified"] = next(next_time)
                    if entry["attributes"] & 1024:
                        entry["target"] = targets.string()
                    entries.append(entry)
            section = entries[len(entries) - count:]
            for algorithm in algorithms:
                states, digests = r.column(), r.column()
                for entry, state in zip(section, states.take(count)):
                    if state == 1:
                        entry.setdefault("checksums", {})[algorithm.decode()] = \
                            digests.take(DIGEST_BYTES[algorithm]).hex()
                    elif state == 2:
                        entry.setdefault("checksums", {})[algorithm.decode()] = None
                if digests.at != len(digests.data):
                    raise ValueError("a digest column holds more than its entries")
        elif tag == "T":
            for _ in range(r.varint()):
                extension = r.string()
                types[extension] = (r.string(), r.string())
        elif tag == "F":
            count = r.varint()
            parent, entry, files, subfolders, size, state, reasons = (r.column() for _ in range(7))
            for number in range(count):
                row = {"parent": number - parent.varint(), "entry": entry.varint(), "files": files.varint(),
                       "folders": subfolders.varint(), "bytes": size.varint(), "state": state.varint()}
                if row["state"] == 1:
                    row["reason"] = reasons.string()
                folders.append(row)
        elif tag == "Z":
            if r.varint() != len(entries) or r.varint() != len(folders) or len(runs) != len(folders):
                raise ValueError("the end's counts differ from the data")
            if r.at != len(r.data):
                raise ValueError("bytes after the end")
            return {"header": header, "types": types, "folders": folders, "entries": entries}
        else:
            raise ValueError("an unknown section " + repr(tag))


def paths_of(catalog):
    """Each entry's path below the top, as bytes, in the catalog's order."""
    folders, entries = catalog["folders"], catalog["entries"]
    first, start = [], 0
    by_folder = {}
    for index, entry in enumerate(entries):
        by_folder.setdefault(entry["folder"], []).append(index)
    folder_path = [b""] * len(folders)
    for number, row in enumerate(folders):
        if number > 0:
            parent_entries = by_folder.get(row["parent"], [])
            folder_path[number] = folder_path[row["parent"]] + entries[parent_entries[row["entry"]]]["name"] + b"/"
    return [folder_path[entry["folder"]] + entry["name"] for entry in entries], folder_path


if __name__ == "__main__":
    catalog = read_catalog(open(sys.argv[1], "rb").read())
    paths, _ = paths_of(catalog)
    print(json.dumps({k: (v.decode("utf-8", "replace") if isinstance(v, bytes) else v)
                      for k, v in catalog["header"].items()}))
    for path, entry in zip(paths, catalog["entries"]):
        print(json.dumps({"path": path.decode("utf-8", "replace"), "attributes": entry["attributes"],
                          "size": entry["size"], "modified": entry["modified"],
                          "target": entry.get("target", b"").decode("utf-8", "replace"),
                          "checksums": entry.get("checksums")}))
    for number, row in enumerate(catalog["folders"]):
        print(json.dumps(dict(row, number=number, reason=row.get("reason", b"").decode("utf-8", "replace"))))
