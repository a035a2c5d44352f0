// Files of the repository embedded in the program at build time.
#pragma once

#include <string_view>

namespace exportgen {

/// tools/exportgen/readers/job.schema.json: the JSON Schema of a job file.
std::string_view jobSchemaText();
/// tools/exportgen/app/sample_job.json: the built-in sample job.
std::string_view sampleJobText();

}  // namespace exportgen
