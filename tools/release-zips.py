#!/usr/bin/env python3
"""cpack's last step: each ZIP again in name order with fixed times (the same bytes from every
build), its ...-symbols.zip, SHA256SUMS. usage: release-zips.py <dll.debug> <out> <zip>..."""
import hashlib, os, pathlib, sys, time, zipfile
when = time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", 315532800)))[:6]  # else 1980, the first
def write(path, files):  # -> its line of SHA256SUMS
    with zipfile.ZipFile(path, "w") as out:
        for name in sorted(files):
            out.writestr(zipfile.ZipInfo(name, when), files[name], zipfile.ZIP_DEFLATED, 9)
    return f"{hashlib.sha256(path.read_bytes()).hexdigest()}  {path.name}\n"
debug, out, *packages = map(pathlib.Path, sys.argv[1:])  # in cpack's folder, copied to out
sums = ""
for package in [p for p in packages if p.suffix == ".zip"]:  # cpack -G TGZ: left as it is
    with zipfile.ZipFile(package) as made:
        files = {i.filename: made.read(i) for i in made.infolist() if not i.is_dir()}
    top = package.name.removesuffix(".zip")  # the debug file unpacks beside the DLL
    symbols = {f"{top}/bin/{debug.name}": debug.read_bytes()}
    sums += write(package, files) + write(out / (top + "-symbols.zip"), symbols)
    (out / "SHA256SUMS").write_text(sums)
