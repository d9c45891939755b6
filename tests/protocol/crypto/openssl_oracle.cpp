#include "openssl_oracle.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace kestrix::test {
namespace {

std::vector<std::uint8_t> runCipher(const EVP_CIPHER* cipher, const AesKey& key,
                                    std::span<const std::uint8_t> input) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    const std::uint8_t zeroVector[16] = {};
    std::vector<std::uint8_t> output(input.size() + 16);
    int written = 0;
    int finalWritten = 0;
    const bool ok =
        context != nullptr && EVP_EncryptInit_ex(context, cipher, nullptr, key.data(), zeroVector) == 1 &&
        EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
        EVP_EncryptUpdate(context, output.data(), &written, input.data(), static_cast<int>(input.size())) ==
            1 &&
        EVP_EncryptFinal_ex(context, output.data() + written, &finalWritten) == 1;
    EVP_CIPHER_CTX_free(context);
    if (!ok)
        throw std::runtime_error("OpenSSL cipher failed");
    output.resize(static_cast<std::size_t>(written + finalWritten));
    return output;
}

} // namespace

std::vector<std::uint8_t> opensslAesOfb(const AesKey& key, std::span<const std::uint8_t> message) {
    return runCipher(EVP_aes_128_ofb(), key, message);
}

} // namespace kestrix::test
