#include "core/decoder_failure.h"

std::string decoderFailure(const char* reason, std::string_view whenNoReason)
{
    return reason && *reason ? std::string(reason) : std::string(whenNoReason);
}
