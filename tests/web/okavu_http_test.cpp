// The request parser of OKavuHttp, fed directly (no sockets).
#include <gtest/gtest.h>

#include <cstring>

#include "web/okavu_http.h"

namespace kavu {
namespace {

class Probe : public OKavuHttp {
 public:
  // Feeds `text` in pieces of `piece` bytes, as receives would deliver it.
  void Feed(const std::string& text, size_t piece = SIZE_MAX) {
    for (size_t at = 0; at < text.size(); at += piece) {
      const std::string part = text.substr(at, piece);
      int room = 0;
      char* target = GetReciveBuf(&room);
      ASSERT_GE(room, static_cast<int>(part.size()));
      std::memcpy(target, part.data(), part.size());
      OnRecvData(static_cast<int>(part.size()));
    }
  }
  int heads = 0, bodies = 0, bigs = 0;
  std::string body;

 protected:
  void OnRequestHead() override { ++heads; }
  void OnPostBody() override {
    ++bodies;
    body = Body();
  }
  void OnBigPostData(int, int) override { ++bigs; }
};

TEST(OKavuHttpParser, GetSplitAnywhereGivesTheSameRequest) {
  const std::string req = "GET /Some.html?x=1 HTTP/1.0\r\nHost: a\r\nCookie:  UserSled=1\r\n\r\n";
  for (size_t piece : {size_t{1}, size_t{2}, size_t{7}, req.size()}) {
    Probe p;
    p.Feed(req, piece);
    EXPECT_EQ(p.Status(), OKavuHttp::kComplete) << piece;
    EXPECT_EQ(p.Method(), "GET");
    EXPECT_EQ(p.Url(), "Some.html");
    EXPECT_EQ(p.Query(), "x=1");
    EXPECT_EQ(p.Header("cookie"), "UserSled=1");
    EXPECT_EQ(p.Header("Host"), "a");
    EXPECT_EQ(p.heads, 1);
  }
  Probe lf;  // bare LF line ends
  lf.Feed("GET / HTTP/1.0\nHost: b\n\n");
  EXPECT_EQ(lf.Status(), OKavuHttp::kComplete);
  EXPECT_EQ(lf.Url(), "");
}

TEST(OKavuHttpParser, RefusesBadBytesAndMethods) {
  Probe bell;
  bell.Feed("GET /a\x07 HTTP/1.0\r\n\r\n");
  EXPECT_EQ(bell.Status(), OKavuHttp::kError);
  EXPECT_EQ(bell.ErrorText(), "Недопустимый символ в принятых данных (код 7) ");

  Probe put;
  put.Feed("PU");  // not yet decidable: "P" could begin POST
  EXPECT_EQ(put.Status(), OKavuHttp::kError);
  EXPECT_EQ(put.ErrorText(), "Запрос не поддерживается: PU");
  Probe po;
  po.Feed("PO");
  EXPECT_EQ(po.Status(), OKavuHttp::kHead);
  Probe put2;
  put2.Feed("PUT /x HTTP/1.0\r\n");
  EXPECT_EQ(put2.ErrorText(), "Запрос не поддерживается: PUT /x HTTP/1.0??");
}

TEST(OKavuHttpParser, PostWaitsForItsBodyOrBecomesBig) {
  Probe p;
  p.Feed("POST /d HTTP/1.0\r\nContent-Length: 10\r\n\r\n1234");
  EXPECT_EQ(p.Status(), OKavuHttp::kBody);
  EXPECT_EQ(p.bodies, 0);
  p.Feed("567890");
  EXPECT_EQ(p.Status(), OKavuHttp::kComplete);
  EXPECT_EQ(p.body, "1234567890");

  Probe big;
  big.Feed("POST /d HTTP/1.0\r\n\r\nabc");
  EXPECT_EQ(big.Status(), OKavuHttp::kBigPost);
  big.Feed("more");
  EXPECT_EQ(big.bigs, 1);

  // A length that overflows or cannot fit is no usable length: a big POST, never a wrap-around.
  for (const char* len : {"99999999999999999999999", "393216", "-5", "12x"}) {
    Probe q;
    q.Feed(std::string("POST /d HTTP/1.0\r\nContent-Length: ") + len + "\r\n\r\n");
    EXPECT_EQ(q.Status(), OKavuHttp::kBigPost) << len;
  }
}

TEST(OKavuHttpParser, TooMuchDataIsAnError) {
  Probe p;
  p.Feed("GET /");
  std::string filler(OKavuHttp::kRecvMax - 5, 'a');
  p.Feed(filler);
  EXPECT_EQ(p.Status(), OKavuHttp::kHead);
  int room = 1;
  p.GetReciveBuf(&room);
  EXPECT_EQ(room, 0);
  EXPECT_EQ(p.Status(), OKavuHttp::kError);
  EXPECT_NE(p.ErrorText().find("Данных слишко много"), std::string::npos);
}

}  // namespace
}  // namespace kavu
