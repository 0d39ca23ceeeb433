#include "kivhost/serve/port_claim.h"

namespace kiv::kivhost {

// SO_REUSEADDR lets a port be bound while connections of a server before linger in TIME_WAIT; it
// never lets two listening sockets share a port (SO_REUSEPORT would, and is not set).
void claimPortAlone(boost::asio::ip::tcp::acceptor& acceptor, boost::system::error_code& failed) {
    acceptor.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true), failed);
}

} // namespace kiv::kivhost
