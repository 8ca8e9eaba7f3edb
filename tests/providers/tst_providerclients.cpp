#include "providers/GeminiService.h"
#include "providers/OCRSpaceService.h"
#include "providers/OpenAIService.h"
#include "providers/ProviderEndpoint.h"

#include "CaseTable.h"
#include "RecordingHttpServer.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray instruction =
    "Extract all text from this image exactly as it appears. If the text is in multiple columns, "
    "read left-to-right, top-to-bottom. DO NOT convert to tables or add markdown formatting. DO "
    "NOT add headers or structure. Return ONLY the plain extracted text, preserving paragraph "
    "breaks but treating this as prose/document text, not tabular data.";

// Each request as sent (request line, content type|authorization|apikey,
// body), with the image's bytes or Base64 written IMAGE and the boundary B.
const QMap<QString, QByteArray> expectedRequests{
    {u"openai"_s,
     "POST /p/v1/chat/completions\napplication/json|Bearer sk-key|\n"
     R"({"max_completion_tokens":2048,"messages":[{"content":[{"text":")" +
         instruction +
         R"(","type":"text"},{"image_url":{"url":"data:image/jpeg;base64,IMAGE"},"type":)"
         R"("image_url"}],"role":"user"}],"model":"gpt-4o","temperature":0})"},
    {u"gemini"_s, "POST /p/v1beta/models/gemini-2.5-flash:generateContent?key=sk-key\n"
                  "application/json||\n"
                  R"({"contents":[{"parts":[{"text":")" +
                      instruction +
                      R"("},{"inline_data":{"data":"IMAGE","mime_type":"image/jpeg"}}]}],)"
                      R"("generationConfig":{"maxOutputTokens":2048,"temperature":0}})"},
    {u"ocrspace"_s,
     "POST /p/parse/image\nmultipart/form-data; boundary=B||sk-key\n"
     "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"image.jpg\"\r\n"
     "Content-Type: image/jpeg\r\n\r\nIMAGE\r\n"
     "--B\r\nContent-Disposition: form-data; name=\"OCREngine\"\r\n\r\n2\r\n"
     "--B\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\neng\r\n"
     "--B\r\nContent-Disposition: form-data; name=\"isOverlayRequired\"\r\n\r\nfalse\r\n"
     "--B--\r\n"}};

template <typename R> QString describe(const R& r)
{
    if (r) {
        return u"text:"_s + *r;
    }
    if constexpr (std::is_same_v<R, OCRSpaceService::Result>) {
        return u"%1:%2:%3"_s.arg(r.error().domain).arg(r.error().code).arg(r.error().message);
    } else {
        static const char* const kinds[] = {"networkError", "apiError", "invalidImage",
                                            "invalidResponse"};
        return QString::fromLatin1(kinds[int(r.error().kind)]) + u':' + r.error().message;
    }
}

} // namespace

class TestProviderClients : public QObject
{
    Q_OBJECT

    RecordingHttpServer m_server;
    OpenAIService m_openAI;
    GeminiService m_gemini;
    OCRSpaceService m_ocrSpace;

    // The client's outcome as text; "synchronous", "called twice" or "no
    // outcome" when it did not arrive once, later, on this thread.
    QString recognize(const QString& client, const QString& size, const QString& base,
                      const QString& key = u"sk-key"_s)
    {
        QImage image(size.section(u'x', 0, 0).toInt(), size.section(u'x', 1).toInt(),
                     QImage::Format_RGB32);
        image.fill(Qt::white);
        std::optional<QString> outcome;
        int calls = 0;
        const auto done = [&](const auto& result) {
            ++calls;
            outcome = QThread::currentThread() == thread() ? describe(result) : u"off thread"_s;
        };
        if (client == u"openai") {
            m_openAI.recognizeText(image, key, {base, u"gpt-4o"_s}, done);
        } else if (client == u"gemini") {
            m_gemini.recognizeText(image, key, {base, u"gemini-2.5-flash"_s}, done);
        } else {
            m_ocrSpace.recognizeText(image, key, base, done);
        }
        if (outcome) {
            return u"synchronous"_s;
        }
        for (QDeadlineTimer deadline(10'000); !outcome && !deadline.hasExpired();) {
            QTest::qWait(2);
        }
        QTest::qWait(20); // a second completion would arrive here
        return calls > 1 ? u"called twice"_s : outcome.value_or(u"no outcome"_s);
    }

private slots:
    // What each client sends, byte for byte, and the size of its JPEG.
    void requests_data()
    {
        rows({u"openai→1000x500→1000x500", u"openai→4096x1024→2048x512",
              u"openai→2048x3000→1398x2048", u"gemini→1000x500→1000x500",
              u"gemini→4096x1024→2048x512", u"gemini→2048x3000→1398x2048",
              u"ocrspace→1000x500→1000x500", u"ocrspace→4096x1024→4096x1024",
              u"ocrspace→2048x3000→2048x3000"});
    }
    void requests()
    {
        const QStringList f = fields();
        m_server.requests.clear();
        recognize(f[0], f[1], m_server.baseURL() + u"/p/"_s);
        recognize(f[0], f[1], m_server.baseURL() + u"/p/"_s);
        const auto sent = m_server.requests;
        QCOMPARE(sent.size(), 2);
        const auto header = [&](const char* name) { return sent[0].headers.value(name); };
        const QByteArray boundary = header("content-type").mid(30);
        QByteArray request = sent[0].method + ' ' + sent[0].target + '\n' + header("content-type") +
                             '|' + header("authorization") + '|' + header("apikey") + '\n' +
                             sent[0].body;
        QByteArray jpeg;
        if (f[0] == u"ocrspace") {
            // A fresh boundary each time: "Boundary-" and an upper-case UUID.
            QVERIFY(QRegularExpression(u"^Boundary-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s)
                        .match(QString::fromLatin1(boundary))
                        .hasMatch());
            QVERIFY(sent[1].headers.value("content-type") != header("content-type"));
            request.replace(boundary, "B");
            const qsizetype start = request.indexOf("\r\n\r\n") + 4;
            jpeg = request.mid(start, request.indexOf("\r\n--B", start) - start);
            request.replace(jpeg, "IMAGE");
        } else {
            const QString base64 = QRegularExpression(u"[A-Za-z0-9+/]{99,}=*"_s)
                                       .match(QString::fromLatin1(request))
                                       .captured();
            jpeg =
                QByteArray::fromBase64(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            request.replace(base64.toLatin1(), "IMAGE");
        }
        QCOMPARE(request, expectedRequests.value(f[0]));
        const QImage image = QImage::fromData(jpeg, "jpeg");
        QCOMPARE(u"%1x%2"_s.arg(image.width()).arg(image.height()), f[2]);
    }

    // Every answer read the same through the network and by the parser
    // alone; the status code plays no part; "*" ends a prefix.
    void responses_data()
    {
        // clang-format off
        rows({u"openai→200→{\"choices\":[{\"message\":{\"content\":\"\\n\\n Hello\\n\\nworld \\n\"}}]}→text:Hello\n\nworld",
              u"openai→401→{\"error\":{\"message\":\"Incorrect API key provided: sk-key\"}}→apiError:Incorrect API key provided: [key]",
              u"openai→500→<html><body>Internal Server Error</body></html>→invalidResponse:",
              u"openai→200→{\"choices\":[]}→invalidResponse:",
              u"openai→200→{\"choices\":[{\"message\":{\"content\":\"a\"}},7]}→invalidResponse:",
              u"openai→200→{\"error\":{\"code\":1},\"choices\":[{\"message\":{\"content\":\"b\"}}]}→text:b",
              u"openai→200→{\"choices\":[{\"message\":{\"content\":\" \\n\\t\\u2028 \"}}]}→text:",
              u"openai→200→{\"choices\":[{\"message\":{\"content\":42}}]}→invalidResponse:",
              u"openai→204→→invalidResponse:",
              u"gemini→200→{\"candidates\":[{\"content\":{\"parts\":[{\"text\":\" Hi\\n\"}]}}]}→text:Hi",
              u"gemini→400→{\"error\":{\"code\":400,\"message\":\"API key not valid\"}}→apiError:API key not valid",
              u"gemini→200→{\"candidates\":[{\"content\":{\"parts\":[]}}]}→invalidResponse:",
              u"gemini→200→[{\"candidates\":[]}]→invalidResponse:",
              u"ocrspace→200→{\"ParsedResults\":[{\"ParsedText\":\" Text \\r\\n\"}]}→text:Text",
              u"ocrspace→200→{\"ErrorMessage\":[\"E1\",\"E2\"],\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→OCRSpaceService:4:E1, E2",
              u"ocrspace→200→{\"ErrorMessage\":[\"E1\",3],\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→text:T",
              u"ocrspace→200→{\"ErrorMessage\":\"oops\",\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→text:T",
              u"ocrspace→200→{\"ParsedResults\":[{\"ParsedText\":\" \\n \"}]}→OCRSpaceService:5:No text detected in image",
              u"ocrspace→200→{\"ParsedResults\":[]}→OCRSpaceService:6:Failed to parse API response",
              u"ocrspace→200→[1]→OCRSpaceService:6:Failed to parse API response",
              u"ocrspace→500→<html>oops</html>→QJsonParseError:*",
              u"ocrspace→200→→OCRSpaceService:3:No data received from API"});
        // clang-format on
    }
    void responses()
    {
        const QStringList f = fields();
        const QByteArray body = f[2].toUtf8();
        m_server.reply = {f[1].toInt(), body};
        const QString parsed = f[0] == u"openai"   ? describe(OpenAIService::parseResponse(body))
                               : f[0] == u"gemini" ? describe(GeminiService::parseResponse(body))
                                                   : describe(OCRSpaceService::parseResponse(body));
        const QString outcome = f[3].endsWith(u'*') ? f[3].chopped(1) : f[3];
        const qsizetype n = f[3].endsWith(u'*') ? outcome.size() : -1;
        QCOMPARE(recognize(f[0], u"20x10"_s, m_server.baseURL()).left(n), outcome);
        // The parser alone has no key to blank out; nothing else differs.
        QCOMPARE(QString(parsed).replace(u"sk-key"_s, u"[key]"_s).left(n), outcome);
    }

    // Plain HTTP only to this computer. "=" stands for the base and the path.
    void endpoints_data()
    {
        rows({u"→https://api.openai.com/v1/chat/completions",
              u" https://example.com:8443/api/ →https://example.com:8443/api/v1/chat/completions",
              u"http://127.0.0.1:8080→=",
              u"http://127.8.9.10/p/→http://127.8.9.10/p/v1/chat/completions", u"http://[::1]:9→=",
              u"http://LocalHost:1/v→http://localhost:1/v/v1/chat/completions",
              u"http://2130706433→http://127.0.0.1/v1/chat/completions",
              u"http://192.168.1.5:8080→insecure", u"http://128.0.0.1→insecure",
              u"http://localhost.example.com→insecure", u"ftp://127.0.0.1→invalid",
              u"api.openai.com→invalid", u"https://→invalid", u"https://u:pw@example.com→invalid",
              u"https://example.com/?q=1→invalid"});
    }
    void endpoints()
    {
        const QStringList f = fields();
        const auto url = ProviderEndpoint::resolve(f[0], OpenAIService::defaultBaseURL,
                                                   u"/v1/chat/completions"_s);
        const bool insecure = !url && url.error() == ProviderEndpoint::Problem::insecure;
        QCOMPARE(url        ? url->toString()
                 : insecure ? u"insecure"_s
                            : u"invalid"_s,
                 f[1] == u"=" ? f[0] + u"/v1/chat/completions"_s : f[1]);
    }

    // Failures before and during a transfer: refused addresses and keys no
    // request can hold, images that cannot be encoded, a server that never
    // answers (the timeout shortened), a closed port. Each arrives once,
    // later; no text names the key or the URL.
    void failures_data()
    {
        rows({u"gemini→up→sk secret→8x8→invalidResponse:",
              u"openai→up→sk\r\nX: 1→8x8→invalidResponse:",
              u"ocrspace→up→sk\nX: 1→8x8→OCRSpaceService:7:The key cannot be sent",
              u"openai→http://192.0.2.1→sk-key→8x8→invalidResponse:",
              u"gemini→https://u:pw@example.com→sk-key→8x8→invalidResponse:",
              u"ocrspace→http://192.0.2.1→sk-key→8x8→OCRSpaceService:7:Plain HTTP is refused",
              u"openai→up→k→0x0→invalidImage:", u"gemini→up→k→0x0→invalidImage:",
              u"ocrspace→up→k→0x0→OCRSpaceService:2:Failed to convert image to JPEG",
              u"openai→silent→sk-secret→8x8→networkError:",
              u"gemini→silent→sk-secret/+→8x8→networkError:",
              u"ocrspace→silent→sk-secret→8x8→QNetworkReply:0:",
              u"gemini→http://127.0.0.1:1→sk-secret→8x8→networkError:"});
    }
    void failures()
    {
        const QStringList f = fields();
        for (ProviderClient* c :
             std::initializer_list<ProviderClient*>{&m_openAI, &m_gemini, &m_ocrSpace}) {
            c->setTimeout(std::chrono::milliseconds(300));
        }
        m_server.reply = {200, {}, 0, f[1] == u"silent"};
        m_server.requests.clear();
        QElapsedTimer timer;
        timer.start();
        const bool local = f[1] == u"up" || f[1] == u"silent";
        const QString got = recognize(f[0], f[3], local ? m_server.baseURL() : f[1], f[2]);
        QVERIFY2(got.startsWith(f[4]) && !got.contains(u"secret"_s) && !got.contains(u"key="_s),
                 qPrintable(got));
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(m_server.requests.size(), f[1] == u"silent" ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestProviderClients)
#include "tst_providerclients.moc"
