#pragma once
// The payload catalogue carried in the installer's resources, and its extraction below InstallFolder.
//
// Entry n is the raw data resource "FILE<n>" (the file's bytes) plus string-table string n (its
// destination relative to InstallFolder, "/" as separator). The catalogue ends at the first missing
// data resource; the counter is 8-bit, so at most 255 entries.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/InstallState.h"

// Why a destination string cannot be used, or empty when it is safe: missing, absolute, with a drive,
// with a ".." part, or making a full path longer than platform::kMaxPathLength bytes.
std::optional<std::string> DestinationProblem(const std::optional<std::string>& destination,
                                              const std::string& installFolder);

// The wizard's report of the entries extraction did not write: each by its name and reason, at most
// kReportedFiles of them and then how many more. Empty when every entry was written.
inline constexpr std::size_t kReportedFiles = 10;
std::string SkippedFilesReport(const std::vector<SkippedEntry>& skipped);

// The longest destination string of the catalogue, in bytes: the room every file needs below the folder.
std::size_t LongestDestination();

// The bytes of every catalogue entry together: the disk space an install takes.
std::uint64_t PayloadBytes();

// Writes every entry below State().InstallFolder (which ends with "\"), sets MainFileName from entry 1,
// reports one progress step per entry and records every entry it could not write in SkippedEntries.
// A write refused while another program briefly holds the file (a scanner reading the file just
// written, a program that is closing) is tried again for about two seconds, the windows kept alive.
void ExtractPayload();

// Whether the copy may start: now, after another folder is chosen (the fresh install's folder page),
// or not at all (the user ended the program).
enum class CopyStart { Go, OtherFolder, Stop };

// Before anything is written below State().InstallFolder (which ends with "\"), so that a copy that
// cannot be whole does not start: the space the copy needs on the folder's own drive against what is
// free there (else the disk box: Retry measures again, Cancel gives up), then every payload file
// already there opened as its replacement will open it (else, after waiting a moment for a holder
// that is about to let go, the box naming the files held and the programs holding them: Retry probes
// again, Ignore goes on and records them in State().HeldEntries, Cancel asks the Cancel question).
// Cancel on the disk box returns OtherFolder in fresh mode and asks the Cancel question in reinstall
// mode. A No to the Cancel question returns to the box.
CopyStart CheckBeforeCopy();
