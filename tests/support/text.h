// Helpers of the tests: narrow texts for readable assertions, and the golden-file reader.
#pragma once

#include <string>

#include "contracts/orv_string.h"

namespace testsupport {

/// The text as UTF-8, so that gtest prints it readably; "\r\n" stays as it is. Where wchar_t has
/// 16 bits a surrogate pair is one character of four bytes; a lone surrogate keeps its own three
/// bytes.
std::string narrow(const COrvStringT& text);
/// A UTF-8 text as COrvStringT: a character outside the basic plane is a surrogate pair where
/// wchar_t has 16 bits (Windows), one unit where it has 32.
COrvStringT wide(const std::string& text);
/// The content of tests/golden/<name>, with its lines ended by "\r\n" (the files keep "\n").
std::string golden(const std::string& name);

/// Compares `actual` ("\r\n" lines) with tests/golden/<name> line by line. With the
/// environment variable EXPORTGEN_UPDATE_GOLDEN=1 it rewrites the file instead (read the
/// difference before you commit it).
void expectGolden(const std::string& name, const std::string& actual);

}  // namespace testsupport
