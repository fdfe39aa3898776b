// Linked into the fuzz targets whose readers download pictures: no input may make a fuzzer
// talk to the network, whatever address a page names. These definitions take the place of
// the C library's (the executable's symbols come first); every connection is refused and
// every name is unknown, so each download fails at once.

#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>

extern "C" int connect(int, const struct sockaddr*, socklen_t)
{
    errno = ECONNREFUSED;
    return -1;
}

extern "C" int getaddrinfo(const char*, const char*, const struct addrinfo*, struct addrinfo** result)
{
    if (result)
        *result = nullptr;
    return EAI_NONAME;
}
