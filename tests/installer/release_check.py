#!/usr/bin/python3
"""Reads back what scripts/package.sh put beside the packages and checks it against the packages:
the winget manifest set and the Scoop manifest (every field the stores need, hashes of the files
beside them), the CycloneDX bill of materials (versions as the build's own headers give them),
the changelog entry and SHA256SUMS. Prints one line a finding; exit status 1 when any failed.

  release_check.py --dist <folder> --version <x.y.z> --release-url <url> --changelog <file>
                   --header <component>=<header that defines its version> ...
"""
import argparse
import hashlib
import json
import os
import re
import sys

import yaml

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print(f"FAILED: {what}")
    return condition


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def header_version(path):
    """The version a library's header announces: zlib.h's ZLIB_VERSION, png.h's PNG_LIBPNG_VER_STRING."""
    with open(path, encoding="latin-1") as f:
        text = f.read()
    match = re.search(r'^#\s*define\s+(?:ZLIB_VERSION|PNG_LIBPNG_VER_STRING)\s+"([^"]+)"', text, re.M)
    return match.group(1) if match else None


def load_yaml(path):
    with open(path, encoding="utf-8") as f:
        first = f.readline()
        check(first.startswith("# yaml-language-server: $schema=https://aka.ms/winget-manifest."),
              f"{os.path.basename(path)} names its schema")
        f.seek(0)
        return yaml.safe_load(f)


def check_winget(dist, version, url, setup, notes):
    folder = os.path.join(dist, "manifests", "winget", "manifests", "c", "Callwright", "Callwright", version)
    names = {
        "version": "Callwright.Callwright.yaml",
        "installer": "Callwright.Callwright.installer.yaml",
        "defaultLocale": "Callwright.Callwright.locale.en-US.yaml",
    }
    if not check(os.path.isdir(folder) and sorted(os.listdir(folder)) == sorted(names.values()),
                 f"winget manifest set in {folder}"):
        return
    docs = {kind: load_yaml(os.path.join(folder, name)) for kind, name in names.items()}
    manifest_versions = set()
    for kind, doc in docs.items():
        check(doc.get("PackageIdentifier") == "Callwright.Callwright", f"winget {kind}: PackageIdentifier")
        check(doc.get("PackageVersion") == version, f"winget {kind}: PackageVersion {version}")
        check(doc.get("ManifestType") == kind, f"winget {kind}: ManifestType")
        manifest_versions.add(doc.get("ManifestVersion"))
    check(len(manifest_versions) == 1 and re.fullmatch(r"1\.(\d+)\.0", str(next(iter(manifest_versions))))
          and int(str(next(iter(manifest_versions))).split(".")[1]) >= 6,
          f"one current winget schema version across the set: {manifest_versions}")
    check(docs["version"].get("DefaultLocale") == "en-US", "winget version: DefaultLocale en-US")

    installer = docs["installer"]
    check(installer.get("InstallerType") == "nullsoft", "winget installer: InstallerType nullsoft")
    check(installer.get("Scope") == "user", "winget installer: Scope user")
    switches = installer.get("InstallerSwitches") or {}
    check(switches.get("Silent") == "/S" and switches.get("SilentWithProgress") == "/S",
          "winget installer: silent switches /S")
    # The key the setup writes under HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall.
    check(installer.get("ProductCode") == "Callwright", "winget installer: ProductCode is the uninstall key name")
    entries = installer.get("Installers") or []
    if check(len(entries) == 1, "winget installer: one installer"):
        entry = entries[0]
        check(entry.get("Architecture") == "x64", "winget installer: x64")
        check(entry.get("InstallerUrl") == f"{url}/{setup}", f"winget installer: InstallerUrl {url}/{setup}")
        check(str(entry.get("InstallerSha256", "")).lower() == sha256(os.path.join(dist, setup)),
              "winget installer: InstallerSha256 is the setup's")

    locale = docs["defaultLocale"]
    for field in ("Publisher", "PackageName", "License", "ShortDescription"):
        check(isinstance(locale.get(field), str) and locale[field].strip(), f"winget locale: {field}")
    check(locale.get("PackageLocale") == "en-US", "winget locale: PackageLocale")
    check(locale.get("ReleaseNotesUrl") == f"{url}/CHANGELOG.md", "winget locale: ReleaseNotesUrl")
    check(locale.get("ReleaseNotes") == notes, "winget locale: ReleaseNotes are the changelog's entry")


def check_scoop(dist, version, url, zip_name):
    path = os.path.join(dist, "manifests", "scoop", "callwright.json")
    if not check(os.path.isfile(path), "Scoop manifest"):
        return
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    check(doc.get("version") == version, "scoop: version")
    for field in ("description", "homepage", "license"):
        check(isinstance(doc.get(field), str) and doc[field], f"scoop: {field}")
    build = (doc.get("architecture") or {}).get("64bit") or {}
    check(build.get("url") == f"{url}/{zip_name}", "scoop: 64bit url is the zip's")
    check(build.get("hash") == sha256(os.path.join(dist, zip_name)), "scoop: hash is the zip's")
    check(doc.get("bin") == "Callwright.exe", "scoop: bin")
    check(doc.get("shortcuts") == [["Callwright.exe", "Callwright"]], "scoop: shortcuts")
    check(sorted(doc.get("persist") or []) == ["Records", "config.ini"], "scoop: persist config.ini and Records")


def check_sbom(dist, version, headers):
    path = os.path.join(dist, f"Callwright-{version}.cdx.json")
    if not check(os.path.isfile(path), "CycloneDX bill of materials"):
        return
    with open(path, encoding="utf-8") as f:
        doc = json.load(f)
    check(doc.get("bomFormat") == "CycloneDX" and re.fullmatch(r"1\.[4-6]", doc.get("specVersion", "")),
          "sbom: CycloneDX 1.4 to 1.6")
    check(re.fullmatch(r"urn:uuid:[0-9a-f-]{36}", doc.get("serialNumber", "")), "sbom: serialNumber")
    program = doc.get("metadata", {}).get("component", {})
    check(program.get("name") == "Callwright" and program.get("version") == version, "sbom: the program and version")
    components = {c.get("name"): c for c in doc.get("components", [])}
    for name, header in headers.items():
        expected = header_version(header)
        check(expected is not None, f"{header} announces a version")
        got = components.get(name, {}).get("version")
        check(got == expected, f"sbom: {name} {got} is the linked {expected}")
    for name in ("libstdc++", "mingw-w64-crt"):
        check(name in components and components[name].get("version"), f"sbom: statically linked {name}")
    for component in components.values():
        check(component.get("licenses"), f"sbom: licence of {component.get('name')}")
    depends = {d.get("ref"): d.get("dependsOn") for d in doc.get("dependencies", [])}
    check(sorted(depends.get(program.get("bom-ref")) or []) == sorted(c["bom-ref"] for c in components.values()),
          "sbom: the program depends on every component")


def check_changelog(changelog, version, dist):
    with open(changelog, encoding="utf-8") as f:
        text = f.read()
    check(text.startswith("# Changelog\n"), "changelog: title")
    check("## [Unreleased]" in text, "changelog: Unreleased section")
    match = re.search(r"^## \[" + re.escape(version) + r"\] - \d{4}-\d{2}-\d{2}\n(.*?)(?=^## |\Z)", text, re.M | re.S)
    if not check(match, f"changelog: entry ## [{version}] - YYYY-MM-DD"):
        return ""
    body = match.group(1).strip()
    check(re.search(r"^### (Added|Changed|Deprecated|Removed|Fixed|Security)$", body, re.M),
          "changelog: the entry groups its changes")
    with open(os.path.join(dist, "CHANGELOG.md"), encoding="utf-8") as f:
        check(f.read() == text, "the release carries the changelog")
    return body


def check_sums(dist):
    path = os.path.join(dist, "SHA256SUMS")
    if not check(os.path.isfile(path), "SHA256SUMS"):
        return
    listed = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            digest, name = line.rstrip("\n").split("  ", 1)
            listed[name] = digest
    present = set()
    for folder, _, files in os.walk(dist):
        for name in files:
            present.add(os.path.relpath(os.path.join(folder, name), dist).replace(os.sep, "/"))
    present.discard("SHA256SUMS")
    check(set(listed) == present, f"SHA256SUMS lists every file: missing {present - set(listed)}, extra {set(listed) - present}")
    check(any(n.startswith("manifests/") for n in listed), "SHA256SUMS covers the manifests")
    for name, digest in listed.items():
        if name in present:
            check(sha256(os.path.join(dist, name)) == digest, f"SHA256SUMS: {name}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dist", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--release-url", required=True)
    parser.add_argument("--changelog", required=True)
    parser.add_argument("--header", action="append", default=[])
    args = parser.parse_args()
    headers = dict(h.split("=", 1) for h in args.header)
    setup = f"Callwright-{args.version}-setup.exe"
    zip_name = f"Callwright-{args.version}-portable.zip"
    url = args.release_url.rstrip("/")
    notes = check_changelog(args.changelog, args.version, args.dist)
    check_winget(args.dist, args.version, url, setup, notes)
    check_scoop(args.dist, args.version, url, zip_name)
    check_sbom(args.dist, args.version, headers)
    check_sums(args.dist)
    print(f"release_check: {len(failures)} failures" if failures else "release_check: all passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
