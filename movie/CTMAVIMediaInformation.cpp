#include "movie/CTMAVIMediaInformation.h"

// Defined here so that the assignment is the library's own, as the rest of
// the class's exported members are.
CTMAVIMediaInformation& CTMAVIMediaInformation::operator=(const CTMAVIMediaInformation& other) = default;
