// The failure of an export or of a computation the exports rely on: what
// the other format cannot hold, an input that is not of the kind asked for,
// an output that cannot be written. The message names the file and is
// complete, ready to be shown as it is.
#pragma once

#include <string>

#include <qdat/host/Export.h>
#include <qdat/host/HostException.h>

namespace qdat {

class QDAT_API ExchangeError : public HostException {
public:
    explicit ExchangeError(const std::string& message) : HostException(message) {}
};

}  // namespace qdat
