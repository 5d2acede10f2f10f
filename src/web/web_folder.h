#pragma once
// The web folder "SdrAntAAHttp" and how names in it are found.
//
// The folder lives in the user's data folder ($XDG_DATA_HOME, default ~/.local/share) under
// "kavusdraa/SdrAntAAHttp": an installed program's own folder is not writable.
#include <string>

namespace kavu {

std::string DefaultWebFolder();

// What a URL names in the web folder.
struct ResolvedUrl {
  std::string error;      // empty when the URL is acceptable
  bool isFolder = false;
  bool hasIndex = false;  // a folder holding "index.html"
  int fd = -1;            // an opened regular file (the caller closes it), or -1
  std::string extension;  // for the Content-Type
  std::string logLine;    // why a suspicious URL was refused, for the log ("" for none)
};

// Checks a URL (code page 1251, decoded, without the leading '/' and the query) and opens what
// it names: the empty URL is the page "index.html"; otherwise one name of allowed characters
// (digits, letters, Cyrillic, space and !#$'-.@_~, 1..250 of them, not only dots), or such a
// name and one '/' for the "index.html" of that sub-folder (where a folder's redirect leads).
// Names are matched case-insensitively. Hidden names (leading '.'), symbolic links, FIFOs,
// devices and anything deeper or outside the folder are refused or not found; "index.html"
// itself is reserved. Logs nothing: the caller logs logLine, paced.
ResolvedUrl ResolveUrl(const std::string& folder, const std::string& url);

// The name of `folder`'s entry equal to `name` ignoring case (UTF-8), or "" when there is none.
std::string FindNameIgnoringCase(const std::string& folder, const std::string& name);

}  // namespace kavu
