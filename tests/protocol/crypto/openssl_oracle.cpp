#include "openssl_oracle.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

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

AesBlock opensslAesBlock(const AesKey& key, const AesBlock& input) {
    const std::vector<std::uint8_t> output = runCipher(EVP_aes_128_ecb(), key, input);
    AesBlock block{};
    std::copy_n(output.begin(), 16, block.begin());
    return block;
}

std::vector<std::uint8_t> opensslAesOfb(const AesKey& key, std::span<const std::uint8_t> message) {
    return runCipher(EVP_aes_128_ofb(), key, message);
}

AesBlock opensslCmac(const AesKey& key, std::span<const std::uint8_t> message) {
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, "CMAC", nullptr);
    EVP_MAC_CTX* context = mac != nullptr ? EVP_MAC_CTX_new(mac) : nullptr;
    char cipherName[] = "AES-128-CBC";
    OSSL_PARAM parameters[] = {OSSL_PARAM_construct_utf8_string("cipher", cipherName, 0),
                               OSSL_PARAM_construct_end()};
    AesBlock tag{};
    std::size_t tagLength = 0;
    const bool ok = context != nullptr && EVP_MAC_init(context, key.data(), key.size(), parameters) == 1 &&
                    EVP_MAC_update(context, message.data(), message.size()) == 1 &&
                    EVP_MAC_final(context, tag.data(), &tagLength, tag.size()) == 1 &&
                    tagLength == tag.size();
    EVP_MAC_CTX_free(context);
    EVP_MAC_free(mac);
    if (!ok)
        throw std::runtime_error("OpenSSL CMAC failed");
    return tag;
}

Md5Digest opensslMd5(std::span<const std::uint8_t> message) {
    Md5Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(message.data(), message.size(), digest.data(), &length, EVP_md5(), nullptr) != 1 ||
        length != digest.size())
        throw std::runtime_error("OpenSSL MD5 failed");
    return digest;
}

std::string opensslBase64(std::span<const std::uint8_t> bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), bytes.data(),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::vector<std::uint8_t> fromHex(std::string_view hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t index = 0; index + 1 < hex.size(); index += 2)
        bytes.push_back(
            static_cast<std::uint8_t>(std::stoul(std::string(hex.substr(index, 2)), nullptr, 16)));
    return bytes;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::vector<std::uint8_t> RandomBytes::bytes(std::size_t count) {
    std::vector<std::uint8_t> result(count);
    for (auto& byte : result)
        byte = static_cast<std::uint8_t>(generator_());
    return result;
}

} // namespace kestrix::test
