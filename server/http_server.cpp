// The one file that holds the HTTP library: Boost.Beast over Boost.Asio.
#include <syncstream>
#include <utility>  // before Asio: Boost 1.74 uses std::exchange without it

#include "server/http_server.h"

#include <array>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <chrono>
#include <csignal>
#include <deque>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zarvik12m::server {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

std::string LowerCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// One client connection: requests read one after another, each answered
// before the next is read.
class TSession : public std::enable_shared_from_this<TSession> {
public:
    TSession(tcp::socket socket, TApi& api, std::ostream& log, const THttpServer::TLimits& limits)
        : FStream(std::move(socket)),
          FApi(api),
          FLog(log),
          FLimits(limits),
          FStrand(asio::make_strand(FStream.get_executor()))
    {
        beast::error_code ignored;
        FPeer = FStream.socket().remote_endpoint(ignored).address().to_string();
    }

    void Start() { ReadRequest(); }

    void ReadRequest()
    {
        FParser.emplace();
        FParser->body_limit(FLimits.MaxBody);
        FParser->header_limit(static_cast<std::uint32_t>(FLimits.MaxHeader));
        FStream.expires_after(FLimits.ReadTimeout);
        http::async_read(FStream, FBuffer, *FParser,
                         [self = shared_from_this()](beast::error_code error, std::size_t) { self->OnRead(error); });
    }

    void OnRead(beast::error_code error)
    {
        if (error == http::error::end_of_stream || error == beast::error::timeout || error == asio::error::eof ||
            error == asio::error::connection_reset || error == asio::error::operation_aborted) {
            Close();
            return;
        }
        if (error == http::error::body_limit) {
            FKeepAlive = false;
            Write(ErrorResponse(413, ZARVIK12M_ERROR_OTHER, "Тело запроса больше 8 МБ"), "?", "?");
            return;
        }
        if (error) {
            FKeepAlive = false;
            Write(ErrorResponse(400, ZARVIK12M_ERROR_OTHER, "Неверный запрос HTTP: " + error.message()), "?", "?");
            return;
        }
        http::request<http::string_body> request = FParser->release();
        FStream.expires_never();
        FKeepAlive = request.keep_alive();
        TApiRequest apiRequest;
        apiRequest.Method = std::string(request.method_string());
        apiRequest.Target = std::string(request.target());
        for (const auto& field : request) {
            apiRequest.Headers[LowerCase(std::string(field.name_string()))] = std::string(field.value());
        }
        apiRequest.Body = std::move(request.body());
        const auto started = std::chrono::steady_clock::now();
        FApi.Handle(apiRequest, [self = shared_from_this(), method = apiRequest.Method, target = apiRequest.Target,
                                 started](TApiResponse response) {
            asio::post(self->FStrand, [self, response = std::move(response), method, target, started]() mutable {
                self->FStarted = started;
                self->Write(std::move(response), method, target);
            });
        });
    }

    // A stream's piece from any thread; false once the client has gone.
    bool SendPiece(std::string piece)
    {
        if (FStreamGone) {
            return false;
        }
        asio::post(FStrand, [self = shared_from_this(), piece = std::move(piece)]() mutable {
            self->FPieces.push_back(std::move(piece));
            self->Pump();
        });
        return true;
    }

    void ClosePieces()
    {
        asio::post(FStrand, [self = shared_from_this()] {
            self->FCloseAfterPieces = true;
            self->Pump();
        });
    }

private:
    // The transport's side of a streamed response.
    class TSessionStream : public TStream {
    public:
        explicit TSessionStream(std::shared_ptr<TSession> session) : FSession(std::move(session)) {}
        bool Send(std::string piece) override { return FSession->SendPiece(std::move(piece)); }
        void Close() override { FSession->ClosePieces(); }

    private:
        std::shared_ptr<TSession> FSession;
    };

    // Writes the stream's pieces one after another; on the strand.
    void Pump()
    {
        if (FWritingPiece) {
            return;
        }
        if (FPieces.empty()) {
            if (FCloseAfterPieces) {
                FStreamGone = true;
                Close();
            }
            return;
        }
        FWritingPiece = true;
        auto piece = std::make_shared<std::string>(std::move(FPieces.front()));
        FPieces.pop_front();
        asio::async_write(
            FStream, asio::buffer(*piece),
            asio::bind_executor(FStrand, [self = shared_from_this(), piece](beast::error_code error, std::size_t) {
                self->FWritingPiece = false;
                if (error) {
                    self->FStreamGone = true;
                    self->FPieces.clear();
                    self->Close();
                    return;
                }
                self->Pump();
            }));
    }

    // The head of a streamed response, then its pieces as the API sends
    // them; the connection ends with the stream. A read notices a client
    // that goes away meanwhile.
    void WriteStreamHead(TApiResponse response)
    {
        struct THead {
            http::response<http::empty_body> Message;
            std::optional<http::response_serializer<http::empty_body>> Serializer;
        };
        auto head = std::make_shared<THead>();
        head->Message.version(11);
        head->Message.result(static_cast<unsigned>(response.Status));
        head->Message.set(http::field::server, "zarvik12m-server");
        head->Message.set(http::field::content_type, response.ContentType + "; charset=utf-8");
        head->Message.set(http::field::cache_control, "no-store");
        head->Message.set("X-Content-Type-Options", "nosniff");
        head->Message.set("X-Accel-Buffering", "no");
        for (const auto& [name, value] : response.Headers) {
            head->Message.insert(name, value);
        }
        head->Message.keep_alive(false);
        head->Serializer.emplace(head->Message);
        FKeepAlive = false;
        FWritingPiece = true;
        FStream.expires_never();
        http::async_write_header(
            FStream, *head->Serializer,
            asio::bind_executor(FStrand, [self = shared_from_this(), head, stream = std::move(response.Stream)](
                                             beast::error_code error, std::size_t) {
                self->FWritingPiece = false;
                if (error) {
                    self->FStreamGone = true;
                    self->Close();
                    return;
                }
                self->WatchClient();
                stream(std::make_shared<TSessionStream>(self));
                self->Pump();
            }));
    }

    void WatchClient()
    {
        FStream.async_read_some(
            asio::buffer(FDrain),
            asio::bind_executor(FStrand, [self = shared_from_this()](beast::error_code error, std::size_t) {
                if (error) {
                    self->FStreamGone = true;
                    return;
                }
                self->WatchClient();
            }));
    }

    void Write(TApiResponse response, const std::string& method, const std::string& target)
    {
        if (response.Stream) {
            Log(method, target, response.Status);
            WriteStreamHead(std::move(response));
            return;
        }
        auto message = std::make_shared<http::response<http::string_body>>();
        message->version(11);
        message->result(static_cast<unsigned>(response.Status));
        message->set(http::field::server, "zarvik12m-server");
        if (!response.Body.empty() || response.Status != 204) {
            // A type without its charset is UTF-8, as every text of the API.
            message->set(http::field::content_type, response.ContentType.find(';') == std::string::npos
                                                        ? response.ContentType + "; charset=utf-8"
                                                        : response.ContentType);
        }
        message->set(http::field::cache_control, "no-store");
        message->set("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : response.Headers) {
            message->insert(name, value);
        }
        message->body() = std::move(response.Body);
        message->keep_alive(FKeepAlive);
        message->prepare_payload();
        Log(method, target, response.Status);
        FStream.expires_after(FLimits.ReadTimeout);
        http::async_write(FStream, *message,
                          [self = shared_from_this(), message](beast::error_code error, std::size_t) {
                              if (error || !self->FKeepAlive) {
                                  self->Close();
                                  return;
                              }
                              self->ReadRequest();
                          });
    }

    void Log(const std::string& method, const std::string& target, int status)
    {
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - FStarted);
        // Whole lines, whatever else writes to the log at the same time.
        std::osyncstream(FLog) << "zarvik12m-server: " << FPeer << ' ' << method << ' '
                               << LoggableTarget(target).substr(0, 200) << ' ' << status << ' ' << took.count()
                               << " ms\n"
                               << std::flush;
    }

    void Close()
    {
        beast::error_code ignored;
        FStream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        FStream.close();
    }

    beast::tcp_stream FStream;
    TApi& FApi;
    std::ostream& FLog;
    const THttpServer::TLimits& FLimits;
    asio::strand<asio::any_io_executor> FStrand;
    beast::flat_buffer FBuffer;
    std::optional<http::request_parser<http::string_body>> FParser;
    bool FKeepAlive = false;
    std::string FPeer;
    std::atomic<bool> FStreamGone{false};
    std::deque<std::string> FPieces;
    bool FWritingPiece = false;
    bool FCloseAfterPieces = false;
    std::array<char, 256> FDrain{};
    std::chrono::steady_clock::time_point FStarted = std::chrono::steady_clock::now();
};

}  // namespace

struct THttpServer::TState {
    asio::io_context Io;
    tcp::acceptor Acceptor{Io};
    std::ostream& Log;
    TLimits Limits;
    TApi* Api = nullptr;

    TState(std::ostream& log, TLimits limits) : Log(log), Limits(limits) {}

    void Accept()
    {
        Acceptor.async_accept(asio::make_strand(Io), [this](beast::error_code error, tcp::socket socket) {
            if (!error) {
                beast::error_code ignored;
                socket.set_option(tcp::no_delay(true), ignored);
                std::make_shared<TSession>(std::move(socket), *Api, Log, Limits)->Start();
            }
            if (error != asio::error::operation_aborted) {
                Accept();
            }
        });
    }
};

THttpServer::THttpServer(const std::string& host, std::uint16_t port, std::ostream& log, TLimits limits)
    : FState(std::make_unique<TState>(log, limits))
{
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    beast::error_code error;
    tcp::resolver resolver(FState->Io);
    const auto endpoints = resolver.resolve(name, std::to_string(port), tcp::resolver::passive, error);
    if (error || endpoints.empty()) {
        throw std::runtime_error("cannot resolve " + host + ": " + error.message());
    }
    const tcp::endpoint endpoint = endpoints.begin()->endpoint();
    FState->Acceptor.open(endpoint.protocol(), error);
    if (!error) {
        FState->Acceptor.set_option(asio::socket_base::reuse_address(true), error);
        FState->Acceptor.bind(endpoint, error);
    }
    if (!error) {
        FState->Acceptor.listen(asio::socket_base::max_listen_connections, error);
    }
    if (error) {
        throw std::runtime_error("cannot listen on " + host + ":" + std::to_string(port) + ": " + error.message());
    }
}

THttpServer::~THttpServer() = default;

std::uint16_t THttpServer::Port() const noexcept
{
    beast::error_code ignored;
    return FState->Acceptor.local_endpoint(ignored).port();
}

TScheduler THttpServer::Scheduler()
{
    return [state = FState.get()](std::chrono::milliseconds after, std::function<void()> callback) {
        auto timer = std::make_shared<asio::steady_timer>(state->Io, after);
        timer->async_wait([timer, callback = std::move(callback)](beast::error_code error) {
            if (!error) {
                callback();
            }
        });
    };
}

void THttpServer::Run(TApi& api, unsigned threads)
{
    FState->Api = &api;
    asio::signal_set signals(FState->Io, SIGINT, SIGTERM);
    signals.async_wait([this](beast::error_code error, int) {
        if (!error) {
            Stop();
        }
    });
    FState->Accept();
    std::vector<std::thread> pool;
    for (unsigned i = 1; i < threads; ++i) {
        pool.emplace_back([this] { FState->Io.run(); });
    }
    FState->Io.run();
    for (std::thread& thread : pool) {
        thread.join();
    }
}

void THttpServer::Stop() noexcept
{
    FState->Io.stop();
}

}  // namespace zarvik12m::server
