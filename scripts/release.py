#!/usr/bin/env python3
"""Signs a Quorvin.app bundle and makes the update archive and its feed entry.

  release.py manifest BUNDLE              write BUNDLE/_CodeSignature/manifest
  release.py sign BUNDLE KEY              write the manifest and its signature by KEY
  release.py archive BUNDLE KEY URL OUT   sign BUNDLE, zip it into OUT and write OUT/appcast.json:
                                          the feed entry of the archive (served at URL/<name>.zip)
                                          with the bundle's release notes

KEY is an Ed25519 private key in PEM form (openssl genpkey -algorithm ed25519). It never belongs
in the repository. The manifest lists every file but the manifest and signature themselves as
"<mode in octal> <sha256> <path>"; the bundle may hold only plain files and folders.
"""
import base64
import hashlib
import json
import os
import stat
import subprocess
import sys
import tempfile
import zipfile

MANIFEST = "_CodeSignature/manifest"
SIGNATURE = "_CodeSignature/signature"


def fail(message):
    sys.exit("release.py: " + message)


def bundle_files(bundle):
    files = []
    for root, dirs, names in os.walk(bundle):
        for name in dirs + names:
            path = os.path.join(root, name)
            rel = os.path.relpath(path, bundle)
            if "\n" in rel:
                fail("a name with a line break: " + rel)
            mode = os.lstat(path).st_mode
            if stat.S_ISDIR(mode):
                continue
            if not stat.S_ISREG(mode):
                fail("not a plain file or folder: " + rel)
            if rel not in (MANIFEST, SIGNATURE):
                files.append(rel)
    return sorted(files, key=lambda p: p.encode())


def write_manifest(bundle):
    lines = []
    for rel in bundle_files(bundle):
        path = os.path.join(bundle, rel)
        with open(path, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        mode = os.lstat(path).st_mode & 0o7777
        lines.append("%s %s %s\n" % (format(mode, "o"), digest, rel))
    os.makedirs(os.path.join(bundle, "_CodeSignature"), exist_ok=True)
    data = "".join(lines).encode()
    with open(os.path.join(bundle, MANIFEST), "wb") as f:
        f.write(data)
    os.chmod(os.path.join(bundle, MANIFEST), 0o644)
    return data


def sign_bytes(data, key):
    # Ed25519 signs in one go: openssl needs a file it can size, not a pipe.
    with tempfile.NamedTemporaryFile() as message:
        message.write(data)
        message.flush()
        result = subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", key, "-in", message.name],
                                capture_output=True)
    if result.returncode != 0 or len(result.stdout) != 64:
        fail("openssl could not sign with " + key + ": " + result.stderr.decode(errors="replace"))
    return base64.b64encode(result.stdout).decode()


def sign_bundle(bundle, key):
    data = write_manifest(bundle)
    path = os.path.join(bundle, SIGNATURE)
    with open(path, "w") as f:
        f.write(sign_bytes(data, key) + "\n")
    os.chmod(path, 0o644)


def read_info(bundle):
    with open(os.path.join(bundle, "Info.json")) as f:
        info = json.load(f)
    for key in ("identifier", "version", "build"):
        if not isinstance(info.get(key), str) or not info[key]:
            fail("Info.json lacks " + key)
    if not info["build"].lstrip("+").isdigit():
        fail("Info.json's build is not a number")
    return info


def make_archive(bundle, key, base_url, out):
    bundle = os.path.abspath(bundle)
    info = read_info(bundle)
    sign_bundle(bundle, key)
    os.makedirs(out, exist_ok=True)
    top = os.path.basename(bundle.rstrip("/"))
    name = "Quorvin-%s-%s.zip" % (info["version"], info["build"])
    archive = os.path.join(out, name)
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(bundle, top)
        for root, dirs, names in os.walk(bundle):
            dirs.sort()
            for entry in sorted(dirs) + sorted(names):
                path = os.path.join(root, entry)
                z.write(path, os.path.join(top, os.path.relpath(path, bundle)))
    with open(archive, "rb") as f:
        data = f.read()
    releases = []
    notes = os.path.join(bundle, "Resources", "Changelog.json")
    if os.path.exists(notes):
        with open(notes) as f:
            releases = json.load(f)
    feed = {
        "latest": {
            "version": info["version"],
            "build": int(info["build"]),
            "url": base_url.rstrip("/") + "/" + name,
            "signature": sign_bytes(data, key),
            "length": len(data),
        },
        "releases": releases,
    }
    with open(os.path.join(out, "appcast.json"), "w") as f:
        json.dump(feed, f, indent=2, ensure_ascii=False)
        f.write("\n")
    print(archive)


def main(argv):
    if len(argv) == 3 and argv[1] == "manifest":
        write_manifest(argv[2])
    elif len(argv) == 4 and argv[1] == "sign":
        sign_bundle(argv[2], argv[3])
    elif len(argv) == 6 and argv[1] == "archive":
        if not argv[4].startswith("https://"):
            fail("the archive's address must be https")
        make_archive(argv[2], argv[3], argv[4], argv[5])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
