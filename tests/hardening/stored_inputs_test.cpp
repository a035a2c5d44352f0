// The stored inputs of the library's fuzz targets (support/stored_inputs.h).
#include "support/stored_inputs.h"

#include "contracts_driver.h"
#include "generator_driver.h"

namespace {

TEST(StoredInputs, EveryGeneratorsInputReplaysCleanly) {
    testsupport::replayStoredInputs("generators", fuzzing::runGeneratorInput);
}

TEST(StoredInputs, EveryContractsInputReplaysCleanly) {
    testsupport::replayStoredInputs("contracts", fuzzing::runContractsInput);
}

}  // namespace
