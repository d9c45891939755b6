// crypto_bench: the program's own AES-128 block, CMAC of a 64-byte request and
// MD5, each next to OpenSSL doing the same work in the same run. OpenSSL uses
// the processor's AES instructions where it has them; ours is portable C++.
#include "crypto/aes.h"
#include "crypto/aes_cmac.h"
#include "crypto/md5.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace kestrix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kSecondsPerFigure = 0.5;

// Calls work(n) with a growing count until one run takes long enough; returns
// the operations per second of that run.
template <typename Work> double operationsPerSecond(Work work) {
    for (long count = 64;; count *= 2) {
        const auto start = Clock::now();
        work(count);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (seconds >= kSecondsPerFigure)
            return static_cast<double>(count) / seconds;
    }
}

void printPair(const char* what, const char* unit, double ours, double openssl) {
    std::printf("%-32s ours %10.1f %-8s OpenSSL %10.1f %-8s ratio ours/OpenSSL %.3f\n", what, ours, unit,
                openssl, unit, ours / openssl);
}

unsigned sink = 0;

} // namespace

int main() {
    AesKey key;
    for (std::size_t index = 0; index < key.size(); ++index)
        key[index] = static_cast<std::uint8_t>(index * 17 + 3);

    // AES block: one 16-byte block per call, chained so no call can be skipped.
    AesContext context;
    aesKeySetup(AesMode::Standard, &key, &context);
    AesBlock block{};
    const double oursBlocks = operationsPerSecond([&](long count) {
        for (long index = 0; index < count; ++index)
            aesEncryptBlock(AesMode::Standard, block, block, context);
    });
    sink += block[0];
    EVP_CIPHER_CTX* cipher = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(cipher, EVP_aes_128_ecb(), nullptr, key.data(), nullptr);
    EVP_CIPHER_CTX_set_padding(cipher, 0);
    int written = 0;
    const double opensslBlocks = operationsPerSecond([&](long count) {
        for (long index = 0; index < count; ++index)
            EVP_EncryptUpdate(cipher, block.data(), &written, block.data(), 16);
    });
    sink += block[0];
    std::vector<std::uint8_t> bulk(64 * 1024);
    const double opensslBulkBlocks =
        operationsPerSecond([&](long count) {
            for (long index = 0; index < count; ++index)
                EVP_EncryptUpdate(cipher, bulk.data(), &written, bulk.data(), static_cast<int>(bulk.size()));
        }) *
        static_cast<double>(bulk.size() / 16);
    sink += bulk[0];
    EVP_CIPHER_CTX_free(cipher);
    printPair("AES-128 block (single calls)", "Mblock/s", oursBlocks / 1e6, opensslBlocks / 1e6);
    printPair("AES-128 block (OpenSSL bulk ECB)", "Mblock/s", oursBlocks / 1e6, opensslBulkBlocks / 1e6);

    // CMAC of a 64-byte request, key setup included on both sides.
    std::vector<std::uint8_t> request(64, 'r');
    const double oursCmac = operationsPerSecond([&](long count) {
        for (long index = 0; index < count; ++index) {
            request[0] = static_cast<std::uint8_t>(index);
            sink += aesCmac(key, request)[15];
        }
    });
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
    EVP_MAC_CTX* macContext = EVP_MAC_CTX_new(mac);
    char cipherName[] = "AES-128-CBC";
    OSSL_PARAM parameters[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipherName, 0),
                               OSSL_PARAM_construct_end()};
    const double opensslCmac = operationsPerSecond([&](long count) {
        AesBlock tag{};
        std::size_t tagLength = 0;
        for (long index = 0; index < count; ++index) {
            request[0] = static_cast<std::uint8_t>(index);
            EVP_MAC_init(macContext, key.data(), key.size(), parameters);
            EVP_MAC_update(macContext, request.data(), request.size());
            EVP_MAC_final(macContext, tag.data(), &tagLength, tag.size());
            sink += tag[15];
        }
    });
    EVP_MAC_CTX_free(macContext);
    EVP_MAC_free(mac);
    printPair("AES-CMAC, 64-byte request", "k/s", oursCmac / 1e3, opensslCmac / 1e3);

    // MD5 over 64 KiB buffers.
    std::vector<std::uint8_t> data(64 * 1024, 0x5a);
    const double oursMd5 = operationsPerSecond([&](long count) {
                               for (long index = 0; index < count; ++index)
                                   sink += md5(data)[0];
                           }) *
                           static_cast<double>(data.size());
    const double opensslMd5 =
        operationsPerSecond([&](long count) {
            Md5Digest digest{};
            unsigned int length = 0;
            for (long index = 0; index < count; ++index) {
                EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_md5(), nullptr);
                sink += digest[0];
            }
        }) *
        static_cast<double>(data.size());
    printPair("MD5, 64 KiB buffers", "MB/s", oursMd5 / 1e6, opensslMd5 / 1e6);

    std::printf("(checksum %u)\n", sink);
    return 0;
}
