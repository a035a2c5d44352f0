// The RW5 writer (see rw5_writer.cpp for its record order).
#pragma once

#include <memory>

#include "writers/writer_base.h"

namespace exportgen {

std::unique_ptr<FormatWriter> makeRw5Writer(const Generator& generator, const Job& job, RecordSink& sink);

}  // namespace exportgen
