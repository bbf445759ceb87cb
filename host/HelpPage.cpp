#include "host/HelpPage.h"

namespace vantrel::host {

std::string_view DefaultHelpPage() {
    return R"(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>Zip-file manager: help</title>
<style>body{font:14px Tahoma,Verdana,Arial,sans-serif;background:#f4f4f4;margin:2em;max-width:48em}
h2{border-bottom:1px solid #999}code{background:#e4e4e4;padding:0 3px}</style></head>
<body>
<h1>Zip-file manager</h1>
<p>The page has four frames. Top left you choose source files on the server; beside it the target
folder and the zip file's name; bottom left the results of each operation; on the right the
controls of the current task. Every operation runs on the server, under the limits the
administrator has set.</p>

<h2 id="zip">Zipping files</h2>
<p>Select one or more files in the source list (hold SHIFT or CTRL to select several), or select
none and choose a file type to zip every matching file of the folder. Choose the target folder
and type the zip file's name, then press <b>Zip</b>.</p>
<ul>
<li><b>Update</b> adds new files and replaces entries whose files are newer.</li>
<li><b>Freshen</b> replaces entries whose files are newer and adds nothing.</li>
<li><b>Encrypt</b> protects the added files with the password you type, using AES-256
encryption. 7-Zip, bsdtar (libarchive) and Vantrel itself open such archives, and so do the zip
libraries for Python and Go that read AES entries (their standard modules do not). Unzip programs
that know only the old zip encryption, Info-ZIP's unzip 6.0 among them, cannot.</li>
<li><b>Compression</b>: 0 stores the files, 9 packs them tightest.</li>
<li><b>Store paths</b> keeps each file's folder path in the zip.</li>
<li><b>Recurse</b> includes matching files of all subfolders.</li>
<li><b>Move</b> deletes the original files once the zip has been written.</li>
</ul>

<h2 id="unzip">Unzipping, testing and repairing</h2>
<p>Select one zip file in the source list: the controls change to the unzip controls. Choose the
target folder and press <b>Unzip</b> to extract every entry. <b>Update</b> extracts only entries
that are newer than the files already there or missing; <b>Freshen</b> only those newer than
existing files. <b>Test</b> checks every entry without extracting; <b>Fix</b> repairs a damaged
archive. Tick <b>Decrypt</b> and type the password for encrypted entries, and
<b>Don't Restore Folders</b> to extract every file straight into the target folder.</p>

<h2 id="view">Viewing and changing a zip file's contents</h2>
<p>Tick <b>Show Zip File Contents</b> in the unzip controls to list the entries. Double-click an
entry for its details. Select entries and press <b>Extract</b> to extract just those, or tick
<b>Delete Selected Files</b>, confirm, and press <b>Delete</b> to remove them from the zip.</p>
</body></html>
)";
}

}  // namespace vantrel::host
