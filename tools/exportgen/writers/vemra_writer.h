// The writers of the Vemra family: Vemra, ApaSima and Drevan (see vemra_writer.cpp).
#pragma once

#include <memory>

#include "writers/writer_base.h"

namespace exportgen {

std::unique_ptr<FormatWriter> makeVemraWriter(const Generator& generator, const Job& job, RecordSink& sink);
std::unique_ptr<FormatWriter> makeApaSimaWriter(const Generator& generator, const Job& job, RecordSink& sink);
std::unique_ptr<FormatWriter> makeDrevanWriter(const Generator& generator, const Job& job, RecordSink& sink);

}  // namespace exportgen
