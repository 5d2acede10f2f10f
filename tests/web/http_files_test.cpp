// Files of the web folder over raw loopback sockets: status lines, heads, ranges, cache and
// cookies, path escapes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "platform/text_cp1251.h"
#include "shell/log_console.h"
#include "web/http_dates.h"
#include "web/raw_client_fixture.h"

namespace kavu::test {
namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

class HttpFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(srv.started, 0); }
  Answer Ask(const std::string& request) { return ParseAnswer(Exchange(srv.Port(), request)); }
  TestServer srv;
};

TEST_F(HttpFiles, RootServesThePageWrittenAtStart) {
  const std::string page = ReadFile(srv.Folder() + "/Index.html");
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(page, WebPageCp1251());
  const Answer a = Ask(Get(""));
  EXPECT_EQ(a.statusLine, "HTTP/1.0 200 OK");
  EXPECT_TRUE(a.hasAASdr);
  EXPECT_EQ(a.HeaderValue("Content-Type"), "text/html; charset=windows-1251");
  EXPECT_EQ(a.HeaderValue("Accept-Ranges"), "bytes");
  EXPECT_EQ(a.HeaderValue("Content-Length"), std::to_string(page.size()));
  EXPECT_EQ(a.HeaderValue("Cache-Control"), "public, max-age=3600000");
  EXPECT_FALSE(a.HeaderValue("Last-modified").empty());
  EXPECT_NE(a.HeaderValue("Set-Cookie").find("UserSled="), std::string::npos);
  EXPECT_NE(a.HeaderValue("Set-Cookie").find("; path=/"), std::string::npos);
  EXPECT_TRUE(a.head.size() >= 19 && a.head.substr(a.head.size() - 19) == "Connection: close\r\n");
  EXPECT_EQ(a.body, page);
  // The page says so in code page 1251.
  EXPECT_NE(a.body.find(Utf8ToCp1251("Не выбраны графики")), std::string::npos);
  // An existing page is kept: the user may replace it.
  WriteFile(srv.Folder() + "/Index.html", "<html>mine</html>");
  EXPECT_TRUE(UnpackHttp(srv.Folder()));
  EXPECT_EQ(ReadFile(srv.Folder() + "/Index.html"), "<html>mine</html>");
}

TEST_F(HttpFiles, NamesAreFoundIgnoringCaseWithTheirContentTypes) {
  WriteFile(srv.Folder() + "/Data.TXT", "hello");
  WriteFile(srv.Folder() + "/pic.PNG", "png!");
  WriteFile(srv.Folder() + "/x.bin", "bin");
  EXPECT_EQ(Ask(Get("data.txt")).HeaderValue("Content-Type"), "text/plain; charset=windows-1251");
  EXPECT_EQ(Ask(Get("data.txt")).body, "hello");
  EXPECT_EQ(Ask(Get("Pic.png")).HeaderValue("Content-Type"), "image/png");
  EXPECT_EQ(Ask(Get("x.bin")).HeaderValue("Content-Type"), "application/octet-stream");
}

TEST_F(HttpFiles, ErrorPagesAndMethods) {
  const Answer reserved = Ask(Get("index.html"));
  EXPECT_EQ(reserved.statusLine, "HTTP/1.0 404 OK");
  EXPECT_TRUE(reserved.hasAASdr);
  EXPECT_NE(reserved.body.find(Utf8ToCp1251("Ошибка, Такой url зарезервирован")), std::string::npos);
  EXPECT_NE(reserved.body.find(Utf8ToCp1251("Запрошенная страница не найдена (ошибка 404)")), std::string::npos);
  EXPECT_NE(Ask(Get("a/b.html")).body.find(Utf8ToCp1251("Ошибка, Недопустимый URL")), std::string::npos);
  EXPECT_NE(Ask(Get("missing.html")).body.find(Utf8ToCp1251("Ошибка, не удалось открыть ресурс")),
            std::string::npos);
  WriteFile(srv.Folder() + "/empty.txt", "");
  EXPECT_NE(Ask(Get("empty.txt")).body.find(Utf8ToCp1251("Ошибка, файл нулевой длины")), std::string::npos);

  const Answer head = Ask("HEAD / HTTP/1.0\r\n\r\n");
  EXPECT_EQ(head.statusLine, "HTTP/1.0 501 Not Implemented");
  EXPECT_EQ(head.HeaderValue("Allow"), "GET, POST");
  EXPECT_EQ(head.body, Utf8ToCp1251("<html>Методы, отличные от GET и POST, не поддерживаются!</html>"));
  // A refused request gets no answer at all.
  EXPECT_EQ(Exchange(srv.Port(), "PUT / HTTP/1.0\r\n\r\n"), "");
  EXPECT_EQ(Exchange(srv.Port(), "GET /\x01 HTTP/1.0\r\n\r\n"), "");
  // A POST to an unknown URL is not answered either.
  EXPECT_EQ(Exchange(srv.Port(), Post("other.dat", "x")), "");

  const Answer icon = Ask(Get("FAVICON.ico"));
  EXPECT_EQ(icon.statusLine, "HTTP/1.0 200 OK");
  EXPECT_EQ(icon.HeaderValue("Content-Type"), "image/x-icon");
  EXPECT_EQ(icon.body.size(), ProgramIcon().size());
  EXPECT_EQ(icon.HeaderValue("Content-Length"), std::to_string(ProgramIcon().size()));
  EXPECT_EQ(icon.HeaderValue("Set-Cookie"), "");
}

TEST_F(HttpFiles, PathsNeverLeaveTheWebFolder) {
  TempDir outside;
  WriteFile(outside.File("secret.txt"), "secret");
  ASSERT_EQ(::symlink(outside.File("secret.txt").c_str(), (srv.Folder() + "/link.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo((srv.Folder() + "/fifo.txt").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (srv.Folder() + "/zero.bin").c_str()), 0);
  WriteFile(srv.Folder() + "/.hidden", "hidden");
  for (const char* url : {"..", "../secret.txt", "%2e%2e", "%2E%2e%2E", "link.txt", "fifo.txt", "zero.bin",
                          ".hidden", "%2ehidden", "a/../Index.html", "...", "/etc/passwd", "x\\..\\y", "link%2etxt"}) {
    const Answer a = Ask(Get(url));
    EXPECT_EQ(a.statusLine, "HTTP/1.0 404 OK") << url;
    EXPECT_EQ(a.body.find("secret"), std::string::npos) << url;
    EXPECT_EQ(a.body.find("hidden\n"), std::string::npos) << url;
  }
  // Escapes that no single name can hold, and broken escapes, are bad requests.
  for (const char* url : {"..%2fsecret.txt", "..%2Fsecret.txt", "%2e%2e%5csecret.txt", "a.txt%00.html", "a%0a.txt",
                          "%", "a%2", "a%zz.txt", "%%41"}) {
    const Answer a = Ask(Get(url));
    EXPECT_EQ(a.statusLine, "HTTP/1.0 400 Bad Request") << url;
    EXPECT_TRUE(a.hasAASdr) << url;
    EXPECT_NE(a.body.find(Utf8ToCp1251("Ошибка 400: неверный URL")), std::string::npos) << url;
    EXPECT_EQ(a.body.find("secret\n"), std::string::npos) << url;
  }
}

TEST_F(HttpFiles, EscapedNamesAreDecodedAsBrowsersSendThem) {
  WriteFile(srv.Folder() + "/" + "Файл 1.txt", "cyrillic");  // names on disk are UTF-8
  WriteFile(srv.Folder() + "/my file.txt", "spaced");
  // A browser escapes UTF-8 bytes and spaces.
  EXPECT_EQ(Ask(Get("%D0%A4%D0%B0%D0%B9%D0%BB%201.txt")).body, "cyrillic");
  EXPECT_EQ(Ask(Get("%d1%84%d0%b0%d0%b9%d0%bb%201.TXT")).body, "cyrillic");  // any case
  EXPECT_EQ(Ask(Get("my%20file.txt")).body, "spaced");
  EXPECT_EQ(Ask(Get("my%20file%2Etxt")).body, "spaced");
  // Raw UTF-8 and raw code page 1251 (older clients) find the same file.
  EXPECT_EQ(Ask(Get("\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB%201.txt")).body, "cyrillic");
  EXPECT_EQ(Ask(Get(Utf8ToCp1251("Файл") + "%201.txt")).body, "cyrillic");
  // Characters the code page lacks are not found, not mistaken for another name.
  const Answer cjk = Ask(Get("%E6%96%87%201.txt"));
  EXPECT_EQ(cjk.statusLine, "HTTP/1.0 404 OK");
  EXPECT_EQ(cjk.body.find("cyrillic"), std::string::npos);
}

TEST_F(HttpFiles, FoldersRedirectWhenTheyHaveAnIndex) {
  ASSERT_EQ(::mkdir((srv.Folder() + "/sub").c_str(), 0755), 0);
  EXPECT_NE(Ask(Get("sub")).body.find(Utf8ToCp1251("Эта ссылка указывает на каталог. Уточните url")),
            std::string::npos);
  EXPECT_NE(Ask(Get("sub/")).body.find(Utf8ToCp1251("Эта ссылка указывает на каталог. Уточните url")),
            std::string::npos);
  WriteFile(srv.Folder() + "/sub/index.html", "in");
  const Answer a = Ask(Get("sub"));
  EXPECT_EQ(a.statusLine, "HTTP/1.0 302 Moved Temporarily");
  EXPECT_EQ(a.HeaderValue("Location"), "/sub/");
  EXPECT_EQ(a.body, Utf8ToCp1251("<html>Перенаправление на ") + "sub/</html>");
  // The redirect leads to the folder's page.
  const Answer followed = Ask(Get(a.HeaderValue("Location").substr(1)));
  EXPECT_EQ(followed.statusLine, "HTTP/1.0 200 OK");
  EXPECT_EQ(followed.HeaderValue("Content-Type"), "text/html; charset=windows-1251");
  EXPECT_EQ(followed.body, "in");
  // A folder with a Cyrillic, spaced name: the Location is escaped UTF-8, as a browser sends.
  ASSERT_EQ(::mkdir((srv.Folder() + "/Мой каталог").c_str(), 0755), 0);
  WriteFile(srv.Folder() + "/Мой каталог/Index.html", "mine");
  const Answer cyr = Ask(Get("%D0%9C%D0%BE%D0%B9%20%D0%BA%D0%B0%D1%82%D0%B0%D0%BB%D0%BE%D0%B3"));
  EXPECT_EQ(cyr.statusLine, "HTTP/1.0 302 Moved Temporarily");
  EXPECT_EQ(cyr.HeaderValue("Location"), "/%D0%9C%D0%BE%D0%B9%20%D0%BA%D0%B0%D1%82%D0%B0%D0%BB%D0%BE%D0%B3/");
  EXPECT_EQ(Ask(Get(cyr.HeaderValue("Location").substr(1))).body, "mine");
  // Only the folder's own page: nothing deeper, no file taken for a folder, no linked page.
  WriteFile(srv.Folder() + "/sub/other.txt", "other");
  EXPECT_EQ(Ask(Get("sub/other.txt")).statusLine, "HTTP/1.0 404 OK");
  EXPECT_EQ(Ask(Get("sub//")).statusLine, "HTTP/1.0 404 OK");
  WriteFile(srv.Folder() + "/plain.txt", "plain");
  EXPECT_EQ(Ask(Get("plain.txt/")).statusLine, "HTTP/1.0 404 OK");
  ASSERT_EQ(::mkdir((srv.Folder() + "/linked").c_str(), 0755), 0);
  TempDir outside;
  WriteFile(outside.File("index.html"), "secret");
  ASSERT_EQ(::symlink(outside.File("index.html").c_str(), (srv.Folder() + "/linked/index.html").c_str()), 0);
  EXPECT_EQ(Ask(Get("linked/")).body.find("secret"), std::string::npos);
}

TEST_F(HttpFiles, RefusedUrlsAreLoggedOnceASecondWithTheirCount) {
  Log().SetCapture(true);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(Ask(Get(i % 2 ? "..." : "a%zz")).statusLine.substr(9, 1), "4");
  }
  const std::string within = Log().TakeCaptured();
  srv.AdvanceAndTick(1000);
  const std::string after = Log().TakeCaptured();
  Log().SetCapture(false);
  // The first refusal has its line; the other 29 make one summary line a second later.
  EXPECT_NE(within.find("Отклонён URL a%zz"), std::string::npos) << within;
  EXPECT_EQ(within.find("Это не корректный идентификатор"), std::string::npos) << within;
  EXPECT_NE(after.find("Http-сервер: ещё отклонено URL: 29\n"), std::string::npos) << after;
  EXPECT_EQ(after.find("Отклонён URL"), std::string::npos) << after;
}

TEST_F(HttpFiles, RangesOfLargeFilesOnly) {
  const std::string big = Pattern(2000000);
  WriteFile(srv.Folder() + "/big.bin", big);
  for (const char* range : {"bytes=1000-", "bytes=1000-5000000", "bytes=1000", "BYTES=1000-1999999"}) {
    const Answer a = Ask(Get("big.bin", std::string("Range: ") + range + "\r\n"));
    EXPECT_EQ(a.statusLine, "HTTP/1.0 206 Partial Content") << range;
    EXPECT_EQ(a.HeaderValue("Content-Range"), "bytes 1000-1999999/2000000") << range;
    EXPECT_EQ(a.HeaderValue("Content-Length"), "1999000") << range;
    EXPECT_TRUE(a.body == big.substr(1000)) << range;
  }
  const Answer mid = Ask(Get("big.bin", "Range: bytes=10-19\r\n"));
  EXPECT_EQ(mid.body, big.substr(10, 10));
  EXPECT_NE(Ask(Get("big.bin", "Range: bytes=50-40\r\n")).body.find(
                Utf8ToCp1251("Ошибка, неверный диапазон байт для докачки")),
            std::string::npos);
  EXPECT_EQ(Ask(Get("big.bin", "Range: bytes=99999999999999999999999-\r\n")).statusLine, "HTTP/1.0 200 OK");
  const Answer whole = Ask(Get("big.bin"));
  EXPECT_EQ(whole.statusLine, "HTTP/1.0 200 OK");
  EXPECT_TRUE(whole.body == big);

  WriteFile(srv.Folder() + "/small.bin", Pattern(1000));
  const Answer small = Ask(Get("small.bin", "Range: bytes=10-\r\n"));
  EXPECT_EQ(small.statusLine, "HTTP/1.0 200 OK");
  EXPECT_EQ(small.body.size(), 1000u);
}

TEST_F(HttpFiles, ConditionalRequestsAndCookies) {
  const std::string path = srv.Folder() + "/c.txt";
  WriteFile(path, "content");
  const timeval times[2] = {{1600000000, 0}, {1600000000, 0}};
  ASSERT_EQ(::utimes(path.c_str(), times), 0);
  const std::string file_date = GmtText(FileTimeFromUnixSeconds(1600000000));
  const std::string three_before = GmtText(FileTimeFromUnixSeconds(1600000000 - 3));
  const std::string six_before = GmtText(FileTimeFromUnixSeconds(1600000000 - 6));
  const Answer same = Ask(Get("c.txt", "If-Modified-Since: " + three_before + "\r\n"));
  EXPECT_EQ(same.statusLine, "HTTP/1.0 304 Not Modified");
  EXPECT_NE(same.body.find(Utf8ToCp1251("Файл не изменялся с даты ") + file_date), std::string::npos);
  EXPECT_EQ(same.HeaderValue("Set-Cookie"), "");  // a 304 never sets the cookie
  EXPECT_EQ(Ask(Get("c.txt", "If-Modified-Since: " + six_before + "\r\n")).body, "content");
  EXPECT_EQ(Ask(Get("c.txt", "If-Modified-Since: garbage\r\n")).body, "content");

  EXPECT_EQ(Ask(Get("c.txt", "Cookie: a=b; UserSled=00000000000000AB\r\n")).HeaderValue("Set-Cookie"), "");
  EXPECT_EQ(Ask(Get("c.txt", "Cookie: UserSled=00000000000000ab\r\n")).HeaderValue("Set-Cookie"), "");
  for (const char* bad : {"UserSled=AB", "UserSled=0000000000000000", "usersled=00000000000000AB",
                          "UserSled=00000000000000AG"}) {
    const std::string set = Ask(Get("c.txt", std::string("Cookie: ") + bad + "\r\n")).HeaderValue("Set-Cookie");
    EXPECT_EQ(set.rfind("UserSled=", 0), 0u) << bad;
    EXPECT_EQ(set.size(), std::string("UserSled=0123456789ABCDEF; expires=") .size() + 29 + 8) << set;
  }
}

}  // namespace
}  // namespace kavu::test
