#!/usr/bin/env python3
"""Writes the Sorvane module's NuGet package, the form in which admins install
modules from a repository (Install-PSResource, or Install-Module on Windows
PowerShell 5.1, from an internal feed or a file share):

    sorvane_nupkg.py MODULE_FOLDER VERSION OUT_FOLDER

MODULE_FOLDER is the module as installed (the folder that holds Sorvane.psd1,
with the exes beside it, as the MSI lays it out, so the module finds its exe);
its files are the package's, at its root, as signed. The nuspec comes from
the manifest: id, version (which must be VERSION), authors, description,
release notes and tags, to which the tags PowerShellGet and PSResourceGet
search by are added (PSModule, each function, command and DSC resource).
Writes OUT_FOLDER/Sorvane.VERSION.nupkg and prints its path."""

import os
import re
import sys
import zipfile
from xml.sax.saxutils import escape

MANIFEST = "Sorvane.psd1"
NUSPEC = "http://schemas.microsoft.com/packaging/2010/07/nuspec.xsd"
# The parts NuGet's own packer writes around the content (an Open Packaging
# Conventions package), which PowerShellGet 1.x's NuGet provider reads.
CORE_PROPERTIES = "package/services/metadata/core-properties/sorvane.psmdcp"


def fail(message):
    sys.exit("sorvane_nupkg.py: " + message)


def quoted(text):
    """The texts of PowerShell single-quoted strings in `text`."""
    return [m.replace("''", "'") for m in re.findall(r"'((?:[^']|'')*)'", text)]


def manifest_value(manifest, key, required=True):
    """A manifest entry's text (a single-quoted string) or texts (an @() list)."""
    found = re.search(r"^\s*%s\s*=\s*(@\([^)]*\)|'(?:[^']|'')*')" % key, manifest, re.M)
    if not found:
        if required:
            fail("%s has no %s" % (MANIFEST, key))
        return None
    texts = quoted(found.group(1))
    return texts if found.group(1).startswith("@") else texts[0]


def nuspec(manifest, version):
    tags = ["PSModule"] + (manifest_value(manifest, "Tags", False) or [])
    functions = manifest_value(manifest, "FunctionsToExport", False) or []
    resources = manifest_value(manifest, "DscResourcesToExport", False) or []
    if functions:
        tags += ["PSIncludes_Function"] + ["PSFunction_" + f for f in functions] + ["PSCommand_" + f for f in functions]
    if resources:
        tags += ["PSIncludes_DscResource"] + ["PSDscResource_" + r for r in resources]
    fields = [("id", "Sorvane"), ("version", version), ("authors", manifest_value(manifest, "Author")),
              ("owners", manifest_value(manifest, "Author")), ("requireLicenseAcceptance", "false"),
              ("description", manifest_value(manifest, "Description")),
              ("releaseNotes", manifest_value(manifest, "ReleaseNotes", False)),
              ("copyright", manifest_value(manifest, "Copyright", False)),
              ("tags", " ".join(dict.fromkeys(tags)))]
    lines = ["  <%s>%s</%s>" % (name, escape(value), name) for name, value in fields if value]
    return ('<?xml version="1.0" encoding="utf-8"?>\n<package xmlns="%s">\n <metadata>\n%s\n </metadata>\n</package>\n'
            % (NUSPEC, "\n".join(lines)))


def main():
    if len(sys.argv) != 4:
        fail("usage: sorvane_nupkg.py MODULE_FOLDER VERSION OUT_FOLDER")
    folder, version, out = sys.argv[1:]
    try:
        with open(os.path.join(folder, MANIFEST), encoding="utf-8-sig") as f:
            manifest = f.read()
    except OSError as error:
        fail("no module manifest in %s: %s" % (folder, error.strerror))
    if manifest_value(manifest, "ModuleVersion") != version:
        fail("%s is version %s, not %s" % (MANIFEST, manifest_value(manifest, "ModuleVersion"), version))
    files = sorted(os.path.relpath(os.path.join(d, n), folder).replace(os.sep, "/")
                   for d, _, names in os.walk(folder) for n in names)
    extensions = sorted({os.path.splitext(f)[1][1:].lower() for f in files if "." in f} | {"nuspec", "psmdcp", "rels"})
    types = "".join('<Default Extension="%s" ContentType="application/octet" />' % e for e in extensions
                    if e not in ("rels", "psmdcp"))
    path = os.path.join(out, "Sorvane.%s.nupkg" % version)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as package:
        package.writestr("[Content_Types].xml",
                         '<?xml version="1.0" encoding="utf-8"?><Types xmlns="http://schemas.openxmlformats.org/'
                         'package/2006/content-types"><Default Extension="rels" ContentType="application/'
                         'vnd.openxmlformats-package.relationships+xml" /><Default Extension="psmdcp" '
                         'ContentType="application/vnd.openxmlformats-package.core-properties+xml" />%s</Types>'
                         % types)
        package.writestr("_rels/.rels",
                         '<?xml version="1.0" encoding="utf-8"?><Relationships xmlns="http://schemas.openxmlformats.'
                         'org/package/2006/relationships"><Relationship Type="http://schemas.microsoft.com/packaging/'
                         '2010/07/manifest" Target="/Sorvane.nuspec" Id="R0" /><Relationship Type="http://schemas.'
                         'openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="/%s" '
                         'Id="R1" /></Relationships>' % CORE_PROPERTIES)
        package.writestr("Sorvane.nuspec", nuspec(manifest, version))
        package.writestr(CORE_PROPERTIES,
                         '<?xml version="1.0" encoding="utf-8"?><coreProperties xmlns:dc="http://purl.org/dc/elements/'
                         '1.1/" xmlns="http://schemas.openxmlformats.org/package/2006/metadata/core-properties">'
                         '<dc:creator>%s</dc:creator><dc:identifier>Sorvane</dc:identifier><version>%s</version>'
                         '</coreProperties>' % (escape(manifest_value(manifest, "Author")), escape(version)))
        for name in files:
            package.write(os.path.join(folder, name), name)
    print(path)


if __name__ == "__main__":
    main()
