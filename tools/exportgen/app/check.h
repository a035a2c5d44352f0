// exportgen check, and the check of a whole job before a conversion to a destination that
// cannot be taken back: every error of the job with its line, column and JSON path.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "readers/job_reader.h"

namespace exportgen::app {

/// exportgen check: every problem of the job in `text` on its line, how many were not shown,
/// and a count, on `err`. True when there is no error (warnings alone pass). `locate` names the
/// places of a document that a reader made of another file.
bool reportCheck(std::string_view text, const std::string& source, std::ostream& err, const Locator& locate = {});

/// Before a conversion to a destination that cannot be replaced: when the job has errors, all
/// of them but the last go to `err` and the last is thrown (HostError kExitJob) with the count
/// of those not shown.
void checkBeforeWriting(std::string_view text, const std::string& source, std::ostream& err,
                        const Locator& locate = {});

}  // namespace exportgen::app
