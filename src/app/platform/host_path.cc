#include "app/platform/host_path.h"

#ifndef _WIN32
#include <cctype>
#include <filesystem>

#include "app/platform/wine_prefix.h"
#endif

namespace platform {

#ifdef _WIN32

std::string hostPath(const std::string& windowsPath) { return windowsPath; }

#else

namespace {

namespace fs = std::filesystem;

// The folder a drive letter stands for: the target of <prefix>/dosdevices/<letter>:.
std::string driveRoot(char letter) {
  std::string link = winePrefix() + "/dosdevices/" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) + ":";
  std::error_code ec;
  fs::path resolved = fs::canonical(link, ec);
  if (!ec) return resolved.string();
  return link;
}

// `component` inside `folder`: as written when it exists, else the one entry whose name differs
// only in letter case; "" when there is none.
std::string matchComponent(const std::string& folder, const std::string& component) {
  std::error_code ec;
  const std::string dir = folder.empty() ? std::string("/") : folder;
  if (fs::exists(fs::path(dir) / component, ec)) return component;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (sameWindowsName(name, component)) return name;
  }
  return "";
}

}  // namespace

std::string hostPath(const std::string& windowsPath) {
  if (windowsPath.empty()) return windowsPath;
  std::string root;
  std::string rest;
  const auto& p = windowsPath;
  if (p[0] == '/') {
    rest = p.substr(1);
  } else if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    root = driveRoot(p[0]);
    rest = p.substr(2);
    if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) rest = rest.substr(1);
  } else if (p[0] == '\\') {
    root = driveRoot('c');
    rest = p.substr(1);
  } else {
    std::string relative = p;
    for (char& c : relative) {
      if (c == '\\') c = '/';
    }
    return relative;
  }

  // Walk the components; `matching` stays true while every folder so far exists. A drive of
  // the whole file system (Wine's Z:) has the root "/", which each component brings itself.
  if (root == "/") root.clear();
  std::string out = root;
  bool matching = true;
  size_t start = 0;
  while (start <= rest.size()) {
    size_t sep = rest.find_first_of("\\/", start);
    std::string component = rest.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
    if (matching && !component.empty() && component != "." && component != "..") {
      std::string found = matchComponent(out, component);
      if (found.empty()) {
        matching = false;
      } else {
        component = found;
      }
    }
    out += "/" + component;
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  return out;
}

#endif

}  // namespace platform
