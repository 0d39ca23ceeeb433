#include "kivhost/serve/port_claim.h"

namespace kiv::kivhost {

// Windows binds a port whose old connections linger without being asked; its SO_REUSEADDR would
// let a second socket take a port in use, which SO_EXCLUSIVEADDRUSE forbids.
void claimPortAlone(boost::asio::ip::tcp::acceptor& acceptor, boost::system::error_code& failed) {
    using ExclusiveAddressUse = boost::asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
    acceptor.set_option(ExclusiveAddressUse(true), failed);
}

} // namespace kiv::kivhost
