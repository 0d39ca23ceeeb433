// The listening socket's claim on its port: a restarted server takes its port back while old
// connections linger, and no second server ever shares it. Each system has its own option for it.
#pragma once

#include <boost/asio/ip/tcp.hpp>

namespace kiv::kivhost {

// Sets the option on an open acceptor before it binds.
void claimPortAlone(boost::asio::ip::tcp::acceptor& acceptor, boost::system::error_code& failed);

} // namespace kiv::kivhost
