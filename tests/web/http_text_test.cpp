// Decoding the names in URLs and escaping them for a Location header, without sockets.
#include <gtest/gtest.h>

#include "platform/text_cp1251.h"
#include "web/http_text.h"

namespace kavu {
namespace {

std::string Decoded(const std::string& url) {
  std::string name, error;
  EXPECT_TRUE(DecodeUrlName(url, &name, &error)) << url << ": " << error;
  return name;
}

TEST(UrlNames, EscapesDecodeToCodePage1251) {
  EXPECT_EQ(Decoded("plain.txt"), "plain.txt");
  EXPECT_EQ(Decoded("a%41%2e%7E"), "aA.~");
  EXPECT_EQ(Decoded("%D0%A4%d0%b0%D0%B9%D0%BB"), Utf8ToCp1251("Файл"));  // UTF-8, as browsers send
  EXPECT_EQ(Decoded("%C4%E0"), "\xC4\xE0");  // not UTF-8: code page 1251 already ("Да")
  EXPECT_EQ(Decoded("\xD0\xB4\xD0\xB0"), Utf8ToCp1251("да"));  // raw UTF-8
  EXPECT_EQ(Decoded("%E6%96%87"), "?");  // beyond the code page: a character no name holds
  EXPECT_EQ(Decoded("%EF%BF%BD"), "?");
  EXPECT_EQ(Decoded(""), "");
}

TEST(UrlNames, BrokenEscapesAndBytesNoNameHoldsAreRefused) {
  for (const char* url : {"%", "a%4", "%4g", "%g4", "%%41", "%00", "a%0D%0A", "%1f", "%7F", "..%2F..", "%2f",
                          "%5C", "%5c.."}) {
    std::string name = "unchanged", error;
    EXPECT_FALSE(DecodeUrlName(url, &name, &error)) << url;
    EXPECT_FALSE(error.empty()) << url;
    EXPECT_EQ(name, "unchanged") << url;
  }
}

TEST(UrlNames, EscapedPathsRoundTrip) {
  EXPECT_EQ(EncodeUrlPath("sub/"), "sub/");
  EXPECT_EQ(EncodeUrlPath(Utf8ToCp1251("Мой x#1%/")), "%D0%9C%D0%BE%D0%B9%20x%231%25/");
  for (const std::string& name : {Utf8ToCp1251("Файл 1.txt"), std::string("a b!$'@_~-.c"),
                                  Utf8ToCp1251("ёЁ#%&?=+"), std::string("x")}) {
    const std::string encoded = EncodeUrlPath(name);
    for (unsigned char c : encoded) EXPECT_LT(c, 0x80) << encoded;
    EXPECT_EQ(encoded.find(' '), std::string::npos);
    EXPECT_EQ(encoded.find('#'), std::string::npos);
    EXPECT_EQ(Decoded(encoded), name) << encoded;
  }
}

}  // namespace
}  // namespace kavu
