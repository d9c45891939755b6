#pragma once

#include "crypto/aes.h"
#include "platform/worker_thread.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace kestrix {

// What the TCL connection hands its owner (the TCL console): every line the
// terminal sends, called on the connection's worker thread. The receiver must
// not wait there for its own thread (the console's thread may be waiting for
// the worker), so a window forwards the line without blocking.
class TCLOutputSink {
public:
    virtual ~TCLOutputSink() = default;
    virtual void addOutputLine(const std::string& text) = 0;
};

// `TCLSocket`: the TCP connection to a terminal's TCL host port. The
// constructor connects at once (dual stack: an IPv4 terminal is reached
// through its IPv4-mapped address; a link-local address carries the scope of
// the interface it is reached through, "fe80::1%3"); a worker thread then
// receives the terminal's output, deciphers it when the connection is
// encrypted, splits it at carriage returns and hands each piece to the owner;
// the console's thread sends through write(). With encryption each direction
// is an AES output-feedback stream of its own, started fresh from the key in
// the cipher mode given; a stream's position carries over from call to call.
//
// When the terminal ends the connection (end of stream or error) the worker
// shuts the connection down and sets the process-wide abort event, which the
// console polls; the descriptor itself is closed only when the object is
// destroyed, so a late write fails instead of reaching another connection.
// The object's own abort event also lives until it is destroyed.
//
// It does not log in, choose the key or know TCL statements: the console does.
class TCLSocket : public WorkerThread {
public:
    // The error of every failure: code is the errno value (ECONNREFUSED,
    // ETIMEDOUT, EHOSTUNREACH, ...) for socket creation, options, connect and
    // send, 0 for a missing or unreadable address, the system error for a
    // failed thread start.
    struct TCLSocketError : WorkerError {};

    // How long a connect may take; the system's own time-out is minutes.
    static constexpr std::chrono::seconds kConnectTimeout{10};
    // The receive buffer: 276 bytes, of which at most 273 are read, so the
    // received text always ends with a zero byte.
    static constexpr std::size_t kReceiveBufferSize = 276;
    static constexpr std::size_t kReceiveLength = 273;

    // Connects to the address (IPv6 text, IPv4-mapped, dotted IPv4, or
    // link-local with "%scope") and port and starts the worker. The key is
    // used only when encrypt is set. Throws TCLSocketError (traced) when it
    // cannot; no object exists then.
    TCLSocket(const std::string& address, std::uint16_t port, TCLOutputSink& owner, bool encrypt,
              AesMode mode, const AesKey& key);
    // Cancels and waits for the worker (cancelrun), then closes the socket.
    ~TCLSocket() override;

    // Waits at most one second for data and receives up to maximum bytes.
    // False on error or end of stream; true otherwise, with received 0 when
    // nothing arrived within the second.
    bool read(std::uint8_t* buffer, std::size_t maximum, std::size_t& received);
    // Enciphers the bytes in place (with encryption) and sends all of them;
    // on return length holds the number sent. Throws TCLSocketError on a
    // failed send (also once the terminal has ended the connection). A
    // closed peer never raises SIGPIPE.
    void write(std::uint8_t* bytes, std::size_t& length);

    // The console's cancel: 0, or -1 when cancelrun() threw.
    int CancelTCLSocket();
    // Sets the abort event and waits without time-out for the worker's end,
    // tracing its exit code.
    void cancelrun() override;

    // Sets the process-wide abort event (the console's poll sees it).
    static void setAbortEvent();

protected:
    void run() override;
    [[noreturn]] void throwError(int code, const std::string& text) const override;

private:
    // A socket descriptor that is closed when its owner goes.
    class Descriptor {
    public:
        explicit Descriptor(int value) : value_(value) {}
        Descriptor(Descriptor&& other) noexcept : value_(other.value_) { other.value_ = -1; }
        Descriptor& operator=(Descriptor&&) = delete;
        ~Descriptor();
        int get() const { return value_; }

    private:
        int value_;
    };

    // Connecting comes before the worker frame exists, so a failed connect
    // leaves neither an abort event nor a worker trace behind.
    TCLSocket(Descriptor socket, TCLOutputSink& owner, bool encrypt, AesMode mode, const AesKey& key);
    // The constructor's steps up to the connected socket; throws TCLSocketError.
    static Descriptor connectTo(const std::string& address, std::uint16_t port);
    // Hands the text up to its first zero byte to the owner, piece by piece
    // between carriage returns.
    void passLines(const char* text);

    TCLOutputSink& outputOwner_;
    ThreadSlot thread_;
    const Descriptor socket_;
    const bool encrypt_;
    const AesMode mode_;
    // Each direction's stream; the worker uses only receiveCipher_, write() only sendCipher_.
    AesContext sendCipher_;
    AesContext receiveCipher_;
};

} // namespace kestrix
