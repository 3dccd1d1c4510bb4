// msxsl: the XSLT processor the converter starts for export plug-ins, with
// the command line it has always used:
//
//   msxsl <source> <stylesheet> -o <output> [name=value ...]
//
// It runs xsltproc (Debian package xsltproc) with one --stringparam per
// name=value, without a shell and without network access, and ends with
// xsltproc's exit status (127 when xsltproc cannot be started).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> positional, params;
  std::string output;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-o" && i + 1 < argc) {
      output = argv[++i];
    } else if (positional.size() < 2) {
      positional.push_back(a);
    } else if (a.find('=') != std::string::npos && a[0] != '=') {
      params.push_back(a);
    } else {
      std::fprintf(stderr, "msxsl: unexpected argument \"%s\"\n", a.c_str());
      return 2;
    }
  }
  if (positional.size() != 2 || output.empty()) {
    std::fputs("usage: msxsl <source> <stylesheet> -o <output> [name=value ...]\n", stderr);
    return 2;
  }
  std::vector<std::string> args{"xsltproc", "--nonet"};
  for (const std::string& p : params) {
    const size_t eq = p.find('=');
    args.push_back("--stringparam");
    args.push_back(p.substr(0, eq));
    args.push_back(p.substr(eq + 1));
  }
  args.push_back("-o");
  args.push_back(output);
  args.push_back(positional[1]);
  args.push_back(positional[0]);
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  ::execvp(pointers[0], pointers.data());
  std::fprintf(stderr, "msxsl: cannot start xsltproc: %s\n", std::strerror(errno));
  return 127;
}
