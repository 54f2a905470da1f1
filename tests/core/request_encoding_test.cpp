#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/sdk_test.hpp"
#include "tavrino/url_encoding.hpp"
#include "tavrino/util/request.hpp"

namespace tavrino {
namespace {

std::string membersOf(const CharacterSet& set) {
  std::string members;
  for (int byte = 0; byte < 256; ++byte) {
    if (set.contains(static_cast<unsigned char>(byte))) members += static_cast<char>(byte);
  }
  return members;
}

const std::string kAlphanumerics = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string withAlphanumerics(std::string punctuation) {
  std::string all = punctuation + kAlphanumerics;
  std::sort(all.begin(), all.end());
  return all;
}

TEST(CharacterSetTest, AllowedSetsHoldExactlyTheirAsciiBytes) {
  EXPECT_EQ(membersOf(CharacterSet::urlQueryAllowed()), withAlphanumerics("!$&'()*+,-./:;=?@_~"));
  EXPECT_EQ(membersOf(CharacterSet::urlPathAllowed()), withAlphanumerics("!$&'()*+,-./:=@_~"));
  EXPECT_EQ(membersOf(CharacterSet::urlHostAllowed()), withAlphanumerics("!$&'()*+,-.:;=[]_~"));
  EXPECT_EQ(membersOf(CharacterSet::urlQueryParameterAllowed()),
            withAlphanumerics("!$'()*+,-./:;=@_~"));
  // What an item text may carry raw: every part of a URL allows it.
  EXPECT_EQ(membersOf(CharacterSet::urlDenied().inverted()), withAlphanumerics("!$'()*+,-.:=_~"));
  // Denied sets hold every non-ASCII byte, so no multi-byte character leaks.
  EXPECT_TRUE(CharacterSet::urlDenied().contains(0x80));
  EXPECT_TRUE(CharacterSet::urlQueryDenied().contains(0xFF));
}

TEST(CharacterSetTest, UrlEncodedEscapesDeniedAndNonAsciiBytesInUpperCaseHex) {
  EXPECT_EQ(urlEncoded("a b\r\n\t\x7f\u00fc/?", CharacterSet::urlQueryDenied()),
            "a%20b%0D%0A%09%7F%C3%BC/?");
  EXPECT_EQ(urlEncoded("a/b", CharacterSet::urlDenied()), "a%2Fb");
  // An empty denying set still never lets a non-ASCII byte through raw.
  EXPECT_EQ(urlEncoded("\u00e9", CharacterSet()), "%C3%A9");
  EXPECT_EQ(urlEncoded("bad\xff", CharacterSet::urlQueryDenied()), std::nullopt);
  EXPECT_EQ(urlEncoded("\xc3", CharacterSet::urlQueryDenied()), std::nullopt);          // truncated
  EXPECT_EQ(urlEncoded("\xc0\xaf", CharacterSet::urlQueryDenied()), std::nullopt);      // overlong
  EXPECT_EQ(urlEncoded("\xed\xa0\x80", CharacterSet::urlQueryDenied()), std::nullopt);  // surrogate
}

class EncodeForUrlTest : public testing::SdkTest {};

TEST_F(EncodeForUrlTest, EncodesSeparatorsAndControlCharacters) {
  EXPECT_EQ(Util::encodeForUrl("a&b", "x:y,z\""), "&a%26b=x%3Ay%2Cz%22");
  EXPECT_EQ(Util::encodeForUrl("k\r\nX: 1", "v\r\nSet-Cookie: a=b&c"),
            "&k%0D%0AX:%201=v%0D%0ASet-Cookie%3A%20a=b%26c");
  EXPECT_EQ(Util::encodeForUrl("p", "\u00c7a\u011f r\u0131#%"), "&p=%C3%87a%C4%9F%20r%C4%B1%23%25");
  // A text that is not UTF-8 is dropped, never sent raw.
  EXPECT_EQ(Util::encodeForUrl("k", "\xff\r\n"), "&k=");
}

}  // namespace
}  // namespace tavrino
