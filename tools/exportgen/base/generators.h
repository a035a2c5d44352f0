// The library's six generators as the host creates them: one table that the writers, the format
// registry and the replay of scripts read, so a generator is named and created in this one place.
#pragma once

#include <vector>

#include "contracts/dex_data.h"

namespace orv::ie {
class CRW5Generator;
class CVemraRawDataGenerator;
}  // namespace orv::ie

namespace exportgen {

/// What a generator's factory call takes: the units and information of the job, and the
/// options only some generators have (the others ignore them).
struct GeneratorInputs {
    orv::ie::DexSettings* settings = nullptr;
    orv::ie::DexJobInfo* job = nullptr;
    orv::ie::DexObservationInfo* observation = nullptr;  ///< Vemra family and Quolt/Pashk
    const orv::ie::FreeNumericNames* names = nullptr;    ///< RW5 and Quolt/Pashk: free numeric names
    bool forceNames = false;                             ///< RW5
    bool rbMode = false;                                 ///< RW5
    bool useNumericNames = false;                        ///< Quolt/Pashk
};

/// The root class a generator derives from, which fixes the calls it takes.
enum class GeneratorFamily { rw5, vemra };

/// The classes a generator is made of, as bit flags: each adds the operations of one generator
/// class to those of its base (what a replay script may call).
enum GeneratorClasses : unsigned {
    kRw5Class = 1U << 0,
    kSdrClass = 1U << 1,
    kVemraClass = 1U << 2,
    kApaSimaClass = 1U << 3,
    kDrevanClass = 1U << 4,
    kQuoltPashkClass = 1U << 5,
};

struct Generator {
    const char* name;  ///< the command-line name of its format, also a replay script's "generator"
    GeneratorFamily family;
    /// The factory call of a GeneratorFamily::rw5 generator (null for the other family); the
    /// caller owns the generator, null when it cannot be created.
    orv::ie::CRW5Generator* (*createRw5Family)(const GeneratorInputs& inputs);
    /// The factory call of a GeneratorFamily::vemra generator (null for the other family).
    orv::ie::CVemraRawDataGenerator* (*createVemraFamily)(const GeneratorInputs& inputs);
    /// The GeneratorClasses the generator is made of.
    unsigned classes;
    /// The generator's report of the fields it had to cut (the SDR generator's reportStatus());
    /// null for generators without one.
    int (*reportStatus)(const orv::ie::CRW5Generator& generator);
};

/// Every generator, in the order of the formats.
const std::vector<Generator>& generators();
/// The generator named `name`; null for an unknown name.
const Generator* findGenerator(const char* name);

}  // namespace exportgen
