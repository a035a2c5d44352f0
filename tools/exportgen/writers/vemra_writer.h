// The writers of the Vemra family: Vemra, ApaSima and Drevan (see vemra_writer.cpp).
#pragma once

#include <memory>

#include "writers/writer_base.h"

namespace exportgen {

std::unique_ptr<FormatWriter> makeVemraWriter(const FormatEntry& format, Job& job, Output& output);
std::unique_ptr<FormatWriter> makeApaSimaWriter(const FormatEntry& format, Job& job, Output& output);
std::unique_ptr<FormatWriter> makeDrevanWriter(const FormatEntry& format, Job& job, Output& output);

}  // namespace exportgen
