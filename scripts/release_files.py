#!/usr/bin/python3
"""The release's files beside the setup, for scripts/package.sh.

  release_files.py zip <out.zip> <file>...
      a zip of the files (flat), entries sorted, every time SOURCE_DATE_EPOCH: the same input
      gives the same bytes on any machine
  release_files.py metadata --dist <folder> ...
      the CycloneDX bill of materials, the winget and Scoop manifests, then SHA256SUMS over
      everything in the folder
"""
import argparse
import hashlib
import json
import os
import re
import sys
import time
import uuid
import zipfile

import yaml

PACKAGE_ID = "Callwright.Callwright"
PUBLISHER = "Callwright"
NAME = "Callwright"
# The key under HKCU\...\Uninstall that the setup writes (installer/callwright.nsi).
UNINSTALL_KEY = "Callwright"
LICENSE = "Proprietary"
SHORT_DESCRIPTION = "Records the voice calls of a desktop VoIP client into WAV files."
DESCRIPTION = (
    "Callwright attaches to a running desktop VoIP client through its desktop API and, for every "
    "call in progress, tells the client to write the call's audio into a WAV file named after the "
    "date, the time and the partner. A window lists the recordings; an icon in the notification "
    "area shows whether it is waiting, linked or recording."
)
WINGET_MANIFEST_VERSION = "1.10.0"
# Stands in for CALLWRIGHT_RELEASE_URL when none is given; a maintainer publishing the release
# gives the real one.
PLACEHOLDER_RELEASE_URL = "https://callwright.invalid/releases/download/v{version}"


def source_date_epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if not value:
        sys.exit("release_files.py: SOURCE_DATE_EPOCH is not set")
    return int(value)


def sha256(path):
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def write_zip(out, files):
    # DOS times hold no zone and start in 1980.
    stamp = max(time.gmtime(source_date_epoch())[:6], (1980, 1, 1, 0, 0, 0))
    with zipfile.ZipFile(out, "w") as archive:
        for path in sorted(files, key=os.path.basename):
            info = zipfile.ZipInfo(os.path.basename(path), date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes, as a Windows zip has them
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            with open(path, "rb") as f:
                archive.writestr(info, f.read(), compresslevel=9)


def changelog_entry(changelog, version):
    """The body of the version's section of a Keep a Changelog file."""
    with open(changelog, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"^## \[" + re.escape(version) + r"\] - (\d{4}-\d{2}-\d{2})\n(.*?)(?=^## |^\[|\Z)",
                      text, re.M | re.S)
    if not match:
        sys.exit(f"release_files.py: {changelog} has no entry '## [{version}] - YYYY-MM-DD'")
    return match.group(2).strip()


def write_yaml(path, manifest_type, document):
    schema = f"https://aka.ms/winget-manifest.{manifest_type}.{WINGET_MANIFEST_VERSION}.schema.json"
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(f"# yaml-language-server: $schema={schema}\n\n")
        yaml.safe_dump(document, f, sort_keys=False, allow_unicode=True, width=100)


def write_winget(folder, version, setup_url, setup_hash, release_notes, release_notes_url, release_date):
    os.makedirs(folder, exist_ok=True)
    common = {"PackageIdentifier": PACKAGE_ID, "PackageVersion": version}
    write_yaml(os.path.join(folder, f"{PACKAGE_ID}.yaml"), "version", {
        **common,
        "DefaultLocale": "en-US",
        "ManifestType": "version",
        "ManifestVersion": WINGET_MANIFEST_VERSION,
    })
    write_yaml(os.path.join(folder, f"{PACKAGE_ID}.installer.yaml"), "installer", {
        **common,
        "InstallerType": "nullsoft",
        "Scope": "user",
        "InstallModes": ["interactive", "silent", "silentWithProgress"],
        "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S", "InstallLocation": "/D=<INSTALLPATH>"},
        "UpgradeBehavior": "install",
        "ProductCode": UNINSTALL_KEY,
        "ReleaseDate": release_date,
        "Installers": [{
            "Architecture": "x64",
            "InstallerUrl": setup_url,
            "InstallerSha256": setup_hash.upper(),
        }],
        "ManifestType": "installer",
        "ManifestVersion": WINGET_MANIFEST_VERSION,
    })
    write_yaml(os.path.join(folder, f"{PACKAGE_ID}.locale.en-US.yaml"), "defaultLocale", {
        **common,
        "PackageLocale": "en-US",
        "Publisher": PUBLISHER,
        "PackageName": NAME,
        "License": LICENSE,
        "ShortDescription": SHORT_DESCRIPTION,
        "Description": DESCRIPTION,
        "Tags": ["call-recorder", "voip", "wav"],
        "ReleaseNotes": release_notes,
        "ReleaseNotesUrl": release_notes_url,
        "ManifestType": "defaultLocale",
        "ManifestVersion": WINGET_MANIFEST_VERSION,
    })


def write_scoop(path, version, zip_url, zip_hash):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    manifest = {
        "version": version,
        "description": SHORT_DESCRIPTION,
        "homepage": zip_url.rsplit("/", 1)[0],
        "license": LICENSE,
        "architecture": {"64bit": {"url": zip_url, "hash": zip_hash}},
        "bin": "Callwright.exe",
        "shortcuts": [["Callwright.exe", "Callwright"]],
        # Scoop would persist a missing file as a folder; Callwright reads an empty config.ini as
        # the default settings.
        "pre_install": "if (!(Test-Path \"$persist_dir\\config.ini\")) { New-Item \"$dir\\config.ini\" | Out-Null }",
        "persist": ["config.ini", "Records"],
    }
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        json.dump(manifest, f, indent=4)
        f.write("\n")


def write_sbom(path, version, program, components_file):
    with open(components_file, encoding="utf-8") as f:
        components = json.load(f)
    stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(source_date_epoch()))
    program_ref = f"pkg:generic/callwright@{version}"
    # The same release gets the same serial number.
    serial = uuid.uuid5(uuid.NAMESPACE_URL, program_ref + "#" + json.dumps(components, sort_keys=True))
    document = {
        "bomFormat": "CycloneDX",
        "specVersion": "1.5",
        "serialNumber": f"urn:uuid:{serial}",
        "version": 1,
        "metadata": {
            "timestamp": stamp,
            "component": {
                "type": "application",
                "bom-ref": program_ref,
                "name": NAME,
                "version": version,
                "supplier": {"name": PUBLISHER},
                "hashes": [{"alg": "SHA-256", "content": sha256(program)}],
            },
        },
        "components": components,
        "dependencies": [
            {"ref": program_ref, "dependsOn": [c["bom-ref"] for c in components]},
        ],
    }
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        json.dump(document, f, indent=2)
        f.write("\n")


def write_checksums(dist):
    names = []
    for folder, _, files in os.walk(dist):
        for name in files:
            names.append(os.path.relpath(os.path.join(folder, name), dist).replace(os.sep, "/"))
    names = sorted(n for n in names if n != "SHA256SUMS")
    with open(os.path.join(dist, "SHA256SUMS"), "w", encoding="utf-8", newline="\n") as f:
        for name in names:
            f.write(f"{sha256(os.path.join(dist, name))}  {name}\n")


def metadata(args):
    base = (args.release_url or PLACEHOLDER_RELEASE_URL.format(version=args.version)).rstrip("/")
    if not args.release_url:
        print(f"package: no CALLWRIGHT_RELEASE_URL given, so the manifests point at {base}")
    dist = args.dist
    release_date = time.strftime("%Y-%m-%d", time.gmtime(source_date_epoch()))
    write_sbom(os.path.join(dist, f"Callwright-{args.version}.cdx.json"), args.version, args.program,
               args.components)
    write_winget(os.path.join(dist, "manifests", "winget", "manifests", "c", *PACKAGE_ID.split("."), args.version),
                 args.version, f"{base}/{args.setup}", sha256(os.path.join(dist, args.setup)),
                 changelog_entry(args.changelog, args.version), f"{base}/CHANGELOG.md", release_date)
    write_scoop(os.path.join(dist, "manifests", "scoop", "callwright.json"), args.version,
                f"{base}/{args.zip}", sha256(os.path.join(dist, args.zip)))
    write_checksums(dist)


def main():
    parser = argparse.ArgumentParser()
    commands = parser.add_subparsers(dest="command", required=True)
    zip_command = commands.add_parser("zip")
    zip_command.add_argument("out")
    zip_command.add_argument("files", nargs="+")
    meta = commands.add_parser("metadata")
    for option in ("dist", "version", "setup", "zip", "program", "components", "changelog"):
        meta.add_argument("--" + option, required=True)
    meta.add_argument("--release-url", default="")
    args = parser.parse_args()
    if args.command == "zip":
        write_zip(args.out, args.files)
    else:
        metadata(args)


if __name__ == "__main__":
    main()
