#!/usr/bin/env python3
"""Writes the WiX source of Sorvane's MSI for wixl from an install tree
(`cmake --install` into a staging folder), so the MSI holds whatever the
install rules put there and nothing is listed twice.

    sorvane_wxs.py STAGE VERSION OUT.wxs

Where the files go:
- The PowerShell module (the folder that holds Sorvane.psd1, wherever the
  install rules put it) goes to
  [ProgramFiles64Folder]WindowsPowerShell\\Modules\\Sorvane\\VERSION\\, which is
  on PSModulePath for 64-bit Windows PowerShell and for PowerShell 7, so
  `Import-Module Sorvane` finds it. Windows PowerShell insists that a
  versioned module folder is named after the manifest's ModuleVersion, so a
  module of another version is refused here rather than installed unfindable.
- Everything else goes to [ProgramFiles64Folder]Sorvane\\, keeping its folders.
- The Application log's event source Sorvane is registered: its key names the
  installed Sorvane.exe (Sorvane64.exe where no 32-bit exe is staged) as the
  EventMessageFile, whose message table holds the events' texts.

The package is a 64-bit one: only it reaches the native Program Files, where
64-bit PowerShell (what fleet agents start) looks for modules; Sorvane.exe is
just a file to it and still runs under WoW64 from there. 32-bit Windows has
the zip.

Ids and component GUIDs are derived from each file's installed path, so they
stay the same from one version to the next, as Windows Installer's component
rules want; the product code is new in every build (Id="*"), and the fixed
UpgradeCode lets a build remove the Sorvane it replaces: an older version, or
another build of the same version (a rebuild, a re-signing). A newer version
is left alone and refused."""

import hashlib
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Never change: Windows Installer finds the older Sorvane to replace by it.
UPGRADE_CODE = "C785CE97-86AD-4D35-AF20-7B2ACBF75CD0"
# The namespace of the component GUIDs, derived from installed paths.
COMPONENT_NAMESPACE = uuid.UUID("1e3270cb-35a5-41cd-86d6-b6bb329b7bf1")
MODULE_MANIFEST = "Sorvane.psd1"
# The exe reports its events under this source. wixl takes no util:EventSource,
# so the key is plain Registry rows: a full path (REG_SZ) and the three types
# the exe reports (error, warning, information). Removing the product removes
# the values and the key they leave empty.
EVENT_SOURCE_KEY = r"SYSTEM\CurrentControlSet\Services\EventLog\Application\Sorvane"
MESSAGE_FILES = ("Sorvane.exe", "Sorvane64.exe")  # the first one staged
TYPES_SUPPORTED = 7
# The largest major, minor and build a product version may have.
VERSION_TOPS = (255, 255, 65535)


def fail(message):
    sys.exit("sorvane_wxs.py: " + message)


def ident(kind, target):
    # MSI identifiers are at most 72 characters of [A-Za-z0-9_.]: a digest of
    # the installed path fits and never collides in practice.
    return kind + hashlib.sha1(target.encode("utf-8")).hexdigest()[:24].upper()


def module_version(manifest):
    with open(manifest, encoding="utf-8-sig") as f:
        found = re.search(r"^\s*ModuleVersion\s*=\s*['\"]([^'\"]+)['\"]", f.read(), re.M)
    if not found:
        fail("%s names no ModuleVersion" % manifest)
    return found.group(1)


def staged_files(stage):
    """(source path, path relative to the stage) of every file, sorted."""
    found = []
    for folder, subfolders, files in os.walk(stage):
        subfolders.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            found.append((path, os.path.relpath(path, stage)))
    if not found:
        fail("%s holds no files" % stage)
    return found


def placements(stage, version):
    """Maps each staged file to (top folder id, folders below it, file name)."""
    files = staged_files(stage)
    manifests = [rel for _, rel in files if os.path.basename(rel) == MODULE_MANIFEST]
    if len(manifests) > 1:
        fail("more than one module manifest: %s" % ", ".join(manifests))
    module = os.path.dirname(manifests[0]) if manifests else None
    if module is not None:
        found = module_version(os.path.join(stage, manifests[0]))
        if found != version:
            fail("the module's ModuleVersion is %s, the product's %s" % (found, version))
    placed = []
    for source, rel in files:
        if module is not None and rel.startswith(module + os.sep):
            top, rel = "MODULEDIR", os.path.relpath(rel, module)
        else:
            top = "INSTALLDIR"
        parts = rel.split(os.sep)
        placed.append((source, top, parts[:-1], parts[-1]))
    return placed


class Folder:
    def __init__(self, ident_, name):
        self.ident, self.name = ident_, name
        self.subfolders = {}
        self.files = []


def tree(placed, tops):
    for source, top, folders, name in placed:
        folder = tops[top]
        path = top
        for part in folders:
            path += "/" + part
            folder = folder.subfolders.setdefault(part, Folder(ident("D", path), part))
        folder.files.append((source, path + "/" + name, name))


def write_folder(out, folder, indent, components, base):
    pad = " " * indent
    out.append('%s<Directory Id="%s" Name=%s>' % (pad, folder.ident, quoteattr(folder.name)))
    for source, target, name in folder.files:
        component = ident("C", target)
        components.append(component)
        guid = str(uuid.uuid5(COMPONENT_NAMESPACE, target.lower())).upper()
        out.append('%s  <Component Id="%s" Guid="%s" Win64="yes">' % (pad, component, guid))
        out.append('%s    <File Id="%s" Name=%s Source=%s KeyPath="yes"/>' %
                   (pad, ident("F", target), quoteattr(name),
                    quoteattr(os.path.relpath(source, base))))
        out.append("%s  </Component>" % pad)
    for name in sorted(folder.subfolders):
        write_folder(out, folder.subfolders[name], indent + 2, components, base)
    out.append("%s</Directory>" % pad)


def same_version(fields):
    """The UpgradeVersion that finds another build of this version. MajorUpgrade
    finds only older and newer ones, and the AllowSameVersionUpgrades and
    IncludeMaximum that would widen it are dropped by the wixl of Debian 12, so
    the range is this version up to, not including, the next one; the top
    version has none above it."""
    above = None
    for i in (2, 1, 0):
        if fields[i] < VERSION_TOPS[i]:
            above = ".".join(map(str, fields[:i] + [fields[i] + 1] + [0] * (2 - i)))
            break
    version = ".".join(map(str, fields))
    return '<UpgradeVersion Minimum="%s" IncludeMinimum="yes"%s Property="SAME_VERSION_DETECTED"/>' % (
        version, ' Maximum="%s"' % above if above else "")


def wxs(stage, version, base):
    """The source text; file sources are named relative to `base`, the
    folder of the .wxs, which is where wixl looks for them."""
    # Windows Installer compares only these three fields, within these bounds.
    fields = version.split(".")
    if len(fields) != 3 or not all(f.isdigit() for f in fields) or \
            any(int(f) > top for f, top in zip(fields, VERSION_TOPS)):
        fail("%r is not a product version (major.minor.build, up to 255.255.65535)" % version)
    tops = {"INSTALLDIR": Folder("INSTALLDIR", "Sorvane"),
            "MODULEDIR": Folder("MODULEDIR", version)}
    placed = placements(stage, version)
    tree(placed, tops)
    top_files = [name for _, top, folders, name in placed if top == "INSTALLDIR" and not folders]
    message_file = next((name for name in MESSAGE_FILES if name in top_files), None)
    if message_file is None:
        fail("%s holds neither %s" % (stage, " nor ".join(MESSAGE_FILES)))
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
           '  <Product Id="*" Name="Sorvane" Manufacturer="Sorvane" Language="1033"',
           '           Version="%s" UpgradeCode="%s">' % (version, UPGRADE_CODE),
           '    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"',
           '             Description="Sorvane %s"/>' % version,
           '    <Media Id="1" Cabinet="sorvane.cab" EmbedCab="yes"/>',
           '    <MajorUpgrade',
           '        DowngradeErrorMessage="A newer version of Sorvane is already installed."/>',
           '    <Upgrade Id="%s">' % UPGRADE_CODE,
           '      %s' % same_version([int(f) for f in fields]),
           '    </Upgrade>',
           '    <Property Id="ARPNOMODIFY" Value="1"/>',
           '    <Directory Id="TARGETDIR" Name="SourceDir">',
           '      <Directory Id="ProgramFiles64Folder">']
    components = []
    write_folder(out, tops["INSTALLDIR"], 8, components, base)
    if tops["MODULEDIR"].files or tops["MODULEDIR"].subfolders:
        out += ['        <Directory Id="DWINDOWSPOWERSHELL" Name="WindowsPowerShell">',
                '          <Directory Id="DMODULES" Name="Modules">',
                '            <Directory Id="DSORVANEMODULE" Name="Sorvane">',
                # The versioned folders come and go with their files; this one
                # is left empty by a removal unless it is removed by name.
                '              <Component Id="CSORVANEMODULE" Guid="%s" Win64="yes">' %
                str(uuid.uuid5(COMPONENT_NAMESPACE, "MODULEDIR/..")).upper(),
                '                <RemoveFolder Id="RSORVANEMODULE" On="uninstall"/>',
                '              </Component>']
        components.append("CSORVANEMODULE")
        write_folder(out, tops["MODULEDIR"], 14, components, base)
        out += ["            </Directory>", "          </Directory>", "        </Directory>"]
    out += ["      </Directory>",
            '      <Component Id="CEVENTSOURCE" Guid="%s" Win64="yes">' %
            str(uuid.uuid5(COMPONENT_NAMESPACE, "event source")).upper(),
            '        <RegistryKey Root="HKLM" Key=%s>' % quoteattr(EVENT_SOURCE_KEY),
            '          <RegistryValue Name="EventMessageFile" Type="string" Value="[INSTALLDIR]%s"'
            ' KeyPath="yes"/>' % message_file,
            '          <RegistryValue Name="TypesSupported" Type="integer" Value="%d"/>' %
            TYPES_SUPPORTED,
            "        </RegistryKey>",
            "      </Component>",
            "    </Directory>", '    <Feature Id="Complete" Level="1">']
    components.append("CEVENTSOURCE")
    out += ['      <ComponentRef Id="%s"/>' % c for c in components]
    out += ["    </Feature>", "  </Product>", "</Wix>", ""]
    return "\n".join(out)


def main():
    if len(sys.argv) != 4:
        fail("usage: sorvane_wxs.py STAGE VERSION OUT.wxs")
    stage, version, target = sys.argv[1:]
    text = wxs(stage, version, os.path.dirname(os.path.abspath(target)))
    with open(target, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
