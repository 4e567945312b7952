#include "instrument/bus/transport.h"

#include "instrument/bus/gpib_transport.h"
#include "instrument/bus/socket_transport.h"
#include "instrument/bus/visa_transport.h"

namespace vexa {

std::string Transport::OpenFailureNote(const bus::Status&) const {
  return "";
}

std::shared_ptr<Transport> MakeTransport(const Connection& connection, std::string* error,
                                         const TransportOptions& options) {
  const std::string problem = CheckConnection(connection.transport, connection.resource);
  if (!problem.empty()) {
    if (error)
      *error = problem;
    return nullptr;
  }
  const InstrumentAddress address = *ParseInstrumentAddress(connection.resource, nullptr);
  switch (connection.transport) {
    case TransportKind::kGpib:
      return std::make_shared<GpibTransport>(address);
    case TransportKind::kSocket:
      return std::make_shared<SocketTransport>(address, options.socket_timeout);
    case TransportKind::kVisa:
      return std::make_shared<VisaTransport>(address);
  }
  return nullptr;
}

std::string ConnectionNote(const Transport& transport) {
  return transport.resource() + " - " + transport.Note();
}

}  // namespace vexa
