// The character set of the process's standard output. The system's texts are GBK bytes; standard
// output carries them to whatever reads it (a terminal, a pipe, a file, `tee`, the journal of a
// service), in the character set that reader expects. The run log files stay GBK whatever is
// chosen here.
//
// Process-wide and thread-safe. Unless a front end sets it first (--stdout-encoding), the choice is
// taken from the locale at the first print and kept for the life of the process.
#pragma once

#include <string_view>

namespace fw {

enum class StdoutEncoding { kGbk, kUtf8 };

// The encoding for the name of a character set as the locale reports it (case ignored). GBK,
// GB18030, CP936 and GB2312 (the part of GBK that most texts use) take the GBK bytes unchanged.
// Every other name takes UTF-8, the ASCII of the C and POSIX locales included: those are what a
// service or a bare shell runs under, journald and current terminals expect UTF-8 there, and ASCII
// alone could not show the Chinese texts either way.
StdoutEncoding EncodingForCharset(std::string_view charset);

// "gbk" or "utf-8" ("utf8" too), case ignored: true and *encoding; anything else is false.
bool ParseStdoutEncoding(std::string_view name, StdoutEncoding* encoding);

// Overrides the locale's choice for the rest of the process.
void SetStdoutEncoding(StdoutEncoding encoding);

// The override if one was set, else the locale's choice (looked up once).
StdoutEncoding CurrentStdoutEncoding();

// Writes GBK text to standard output in the current encoding, and flushes it so that a reader at
// the other end of a pipe sees each line when it is written.
void PrintToStdout(std::string_view gbk);

}  // namespace fw
