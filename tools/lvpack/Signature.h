// Authenticode signatures of installers, made and checked with Debian's
// osslsigncode. The signature covers the whole file (image and package) and
// is appended behind the package; the installer reaches its package through
// PayloadOffset and the records' own offsets, so the table behind it changes
// nothing for the installer.
#pragma once

#include <optional>
#include <string>

#include "tools/lvpack/Installer.h"

namespace lvpack {

constexpr char kSigningTool[] = "osslsigncode";

struct SignatureReport {
  bool present = false;
  bool checked = false;   // the signing tool ran and told its findings
  bool intact = false;    // the file is unchanged since it was signed
  bool trusted = false;   // the signer's certificate chain verifies
  std::string signer;     // the signer's certificate subject
  std::string problem;    // what is wrong; empty when nothing is
  std::string note;       // what could not be checked, and why
};

// Whether `file` is signed and whether the signature checks out. The chain is
// verified against `ca` when given (then an untrusted chain is a problem),
// else against the system's certificates (then it is only a note).
SignatureReport CheckSignature(const InstallerFile& file, const std::optional<fs::path>& ca);

struct SignOptions {
  fs::path certificate;                  // PEM certificate (chain)
  fs::path key;                          // PEM private key
  std::optional<fs::path> passwordFile;  // the key's password
  std::string description;               // shown by Windows; default: the saver's name
  std::optional<std::string> timestampUrl;
};

// Signs `installer` into `output` (may be the same file): the installer must
// pass verify and carry no signature yet; the signed result is checked again
// before it replaces the output.
void SignInstaller(const fs::path& installer, const fs::path& output, const SignOptions& options);

}  // namespace lvpack
