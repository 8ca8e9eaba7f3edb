#include "providers/GeminiService.h"
#include "providers/OCRSpaceService.h"
#include "providers/OpenAIService.h"
#include "providers/ProviderEndpoint.h"

#include "CaseTable.h"
#include "LoopbackHttpServer.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString testKey = u"sk-test-key"_s;

QString describe(const OpenAIService::Result& r)
{
    static const char* const kinds[] = {"networkError", "apiError", "invalidImage",
                                        "invalidResponse"};
    if (r) {
        return u"text:"_s + *r;
    }
    const QString kind = QString::fromLatin1(kinds[int(r.error().kind)]);
    return r.error().message.isEmpty() ? kind : kind + u':' + r.error().message;
}

QString describe(const OCRSpaceService::Result& r)
{
    return r ? u"text:"_s + *r
             : u"%1:%2:%3"_s.arg(r.error().domain).arg(r.error().code).arg(r.error().message);
}

QImage page(const QString& size)
{
    const QStringList wh = size.split(u'x');
    QImage image(wh.value(0).toInt(), wh.value(1).toInt(), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QString sizeOf(const QImage& image)
{
    return u"%1x%2"_s.arg(image.width()).arg(image.height());
}

QJsonValue at(const QByteArray& json, const QString& path)
{
    QJsonValue value = QJsonDocument::fromJson(json).object();
    for (const QString& step : path.split(u'.')) {
        bool index = false;
        const int i = step.toInt(&index);
        value = index ? value.toArray().at(i) : value.toObject().value(step);
    }
    return value;
}

} // namespace

class TestProviderClients : public QObject
{
    Q_OBJECT

    LoopbackHttpServer m_server;
    OpenAIService m_openAI;
    GeminiService m_gemini;
    OCRSpaceService m_ocrSpace;

    // The client's outcome, as text, once it arrived on this thread.
    QString recognize(const QString& client, const QImage& image, const QString& base,
                      const QString& key = testKey)
    {
        std::optional<QString> outcome;
        int calls = 0;
        const auto done = [&](const auto& result) {
            ++calls;
            outcome = describe(result);
            if (QThread::currentThread() != thread()) {
                outcome = u"off the main thread"_s;
            }
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
        const QDeadlineTimer deadline(10'000);
        while (!outcome && !deadline.hasExpired()) {
            QTest::qWait(2);
        }
        QTest::qWait(20); // a second completion would arrive here
        return calls > 1 ? u"called twice"_s : outcome.value_or(u"no outcome"_s);
    }

private slots:
    // What each client sends, byte for byte where it is fixed, and the JPEG
    // it sends at the size it should.
    void requests_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("sent");
        addRows({u"openai→1000x500→1000x500", u"openai→4096x1024→2048x512",
                 u"openai→2048x3000→1398x2048", u"gemini→1000x500→1000x500",
                 u"gemini→4096x1024→2048x512", u"gemini→2048x3000→1398x2048",
                 u"ocrspace→1000x500→1000x500", u"ocrspace→4096x1024→4096x1024",
                 u"ocrspace→2048x3000→2048x3000"});
    }
    void requests()
    {
        QFETCH(QString, client);
        QFETCH(QString, size);
        m_server.clear();
        m_server.setReply({200, R"({"choices":[],"candidates":[]})"});
        recognize(client, page(size), m_server.baseURL() + u"/prefix/"_s);
        QCOMPARE(m_server.requests().size(), 1);
        const LoopbackHttpServer::Request sent = m_server.requests().first();
        QCOMPARE(sent.method, "POST");
        QByteArray jpeg;
        if (client == u"ocrspace") {
            QCOMPARE(sent.target, "/prefix/parse/image");
            const QByteArray boundary = sent.headers.value("content-type").mid(30);
            QCOMPARE(sent.headers.value("content-type"),
                     "multipart/form-data; boundary=" + boundary);
            QVERIFY(QRegularExpression(u"^Boundary-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s)
                        .match(QString::fromLatin1(boundary))
                        .hasMatch());
            QCOMPARE(sent.headers.value("apikey"), testKey.toUtf8());
            const QByteArray head = "--" + boundary +
                                    "\r\nContent-Disposition: form-data; name=\"file\"; "
                                    "filename=\"image.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n";
            const QByteArray tail =
                "\r\n--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"OCREngine\"\r\n\r\n2\r\n--" + boundary +
                "\r\nContent-Disposition: form-data; name=\"language\"\r\n\r\neng\r\n--" +
                boundary +
                "\r\nContent-Disposition: form-data; "
                "name=\"isOverlayRequired\"\r\n\r\nfalse\r\n--" +
                boundary + "--\r\n";
            QVERIFY(sent.body.startsWith(head) && sent.body.endsWith(tail));
            jpeg = sent.body.mid(head.size(), sent.body.size() - head.size() - tail.size());
            QCOMPARE(OCRSpaceService::multipartBody(jpeg, QString::fromLatin1(boundary)),
                     sent.body);
        } else {
            QCOMPARE(sent.headers.value("content-type"), "application/json");
            const QString instruction =
                client == u"openai" ? at(sent.body, u"messages.0.content.0.text"_s).toString()
                                    : at(sent.body, u"contents.0.parts.0.text"_s).toString();
            QCOMPARE(instruction.size(), 338);
            QVERIFY(instruction.startsWith(u"Extract all text from this image exactly as it"_s));
            QVERIFY(
                instruction.endsWith(u"treating this as prose/document text, not tabular data."_s));
        }
        if (client == u"openai") {
            QCOMPARE(sent.target, "/prefix/v1/chat/completions");
            QCOMPARE(sent.headers.value("authorization"), "Bearer " + testKey.toUtf8());
            QCOMPARE(QJsonDocument::fromJson(sent.body).object().keys(),
                     (QStringList{u"max_completion_tokens"_s, u"messages"_s, u"model"_s,
                                  u"temperature"_s}));
            QCOMPARE(at(sent.body, u"model"_s), u"gpt-4o"_s);
            QCOMPARE(at(sent.body, u"messages.0.role"_s), u"user"_s);
            QCOMPARE(at(sent.body, u"messages.0.content.1.type"_s), u"image_url"_s);
            // Integers in the JSON text, not 2048.0 or 0.0.
            QVERIFY(sent.body.contains("\"max_completion_tokens\":2048,"));
            QVERIFY(sent.body.endsWith("\"temperature\":0}"));
            const QString url = at(sent.body, u"messages.0.content.1.image_url.url"_s).toString();
            QVERIFY(url.startsWith(u"data:image/jpeg;base64,"_s));
            jpeg = QByteArray::fromBase64(url.mid(23).toLatin1(),
                                          QByteArray::AbortOnBase64DecodingErrors);
        } else if (client == u"gemini") {
            QCOMPARE(sent.target, "/prefix/v1beta/models/gemini-2.5-flash:generateContent?key=" +
                                      testKey.toUtf8());
            QVERIFY(!sent.headers.contains("authorization"));
            QVERIFY(sent.body.contains(
                "\"generationConfig\":{\"maxOutputTokens\":2048,\"temperature\":0}"));
            QCOMPARE(at(sent.body, u"contents.0.parts.1.inline_data.mime_type"_s), u"image/jpeg"_s);
            jpeg = QByteArray::fromBase64(
                at(sent.body, u"contents.0.parts.1.inline_data.data"_s).toString().toLatin1(),
                QByteArray::AbortOnBase64DecodingErrors);
        }
        QVERIFY(jpeg.startsWith("\xff\xd8\xff"));
        QTEST(sizeOf(QImage::fromData(jpeg)), "sent");
    }

    void boundariesAreFresh()
    {
        m_server.clear();
        recognize(u"ocrspace"_s, page(u"8x8"_s), m_server.baseURL());
        recognize(u"ocrspace"_s, page(u"8x8"_s), m_server.baseURL());
        const auto sent = m_server.requests();
        QCOMPARE(sent.size(), 2);
        QVERIFY(sent.at(0).headers.value("content-type") !=
                sent.at(1).headers.value("content-type"));
    }

    // Every answer read the same through the network and by the parser
    // alone; the status code plays no part. "*" ends a prefix.
    void responses_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("outcome");
        // clang-format off
        addRows({u"openai→200→{\"choices\":[{\"message\":{\"content\":\"\\n\\n Hello\\n\\nworld \\n\"}}]}→text:Hello\n\nworld",
                 u"openai→401→{\"error\":{\"message\":\"Incorrect API key provided: sk-test-key\"}}→apiError:Incorrect API key provided: [key]",
                 u"openai→500→<html><body>Internal Server Error</body></html>→invalidResponse",
                 u"openai→200→{\"choices\":[]}→invalidResponse",
                 u"openai→200→{\"choices\":[{\"message\":{\"content\":\"a\"}},7]}→invalidResponse",
                 u"openai→200→{\"error\":{\"code\":1},\"choices\":[{\"message\":{\"content\":\"b\"}}]}→text:b",
                 u"openai→200→{\"choices\":[{\"message\":{\"content\":\" \\n\\t\\u2028 \"}}]}→text:",
                 u"openai→200→{\"choices\":[{\"message\":{\"content\":42}}]}→invalidResponse",
                 u"openai→200→[{\"choices\":[]}]→invalidResponse",
                 u"openai→204→→invalidResponse",
                 u"gemini→200→{\"candidates\":[{\"content\":{\"parts\":[{\"text\":\" Hi\\n\"}]}}]}→text:Hi",
                 u"gemini→400→{\"error\":{\"code\":400,\"message\":\"API key not valid\"}}→apiError:API key not valid",
                 u"gemini→200→{\"candidates\":[{\"content\":{\"parts\":[]}}]}→invalidResponse",
                 u"gemini→200→{\"candidates\":[{\"finishReason\":\"SAFETY\"}]}→invalidResponse",
                 u"gemini→503→<html>Unavailable</html>→invalidResponse",
                 u"ocrspace→200→{\"ParsedResults\":[{\"ParsedText\":\" Text \\r\\n\"}]}→text:Text",
                 u"ocrspace→200→{\"ErrorMessage\":[\"E1\",\"E2\"],\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→OCRSpaceService:4:E1, E2",
                 u"ocrspace→200→{\"ErrorMessage\":[\"E1\",3],\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→text:T",
                 u"ocrspace→200→{\"ErrorMessage\":\"oops\",\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→text:T",
                 u"ocrspace→200→{\"ErrorMessage\":[],\"ParsedResults\":[{\"ParsedText\":\"T\"}]}→text:T",
                 u"ocrspace→200→{\"ParsedResults\":[{\"ParsedText\":\" \\n \"}]}→OCRSpaceService:5:No text detected in image",
                 u"ocrspace→200→{\"ParsedResults\":[]}→OCRSpaceService:6:Failed to parse API response",
                 u"ocrspace→200→[1]→OCRSpaceService:6:Failed to parse API response",
                 u"ocrspace→500→<html>oops</html>→QJsonParseError:*",
                 u"ocrspace→200→→OCRSpaceService:3:No data received from API"});
        // clang-format on
    }
    void responses()
    {
        QFETCH(QString, client);
        QFETCH(QString, status);
        QFETCH(QString, body);
        QFETCH(QString, outcome);
        m_server.setReply({status.toInt(), body.toUtf8()});
        const QString got = recognize(client, page(u"20x10"_s), m_server.baseURL());
        const QByteArray bytes = body.toUtf8();
        const QString parsed = client == u"openai" ? describe(OpenAIService::parseResponse(bytes))
                               : client == u"gemini"
                                   ? describe(GeminiService::parseResponse(bytes))
                                   : describe(OCRSpaceService::parseResponse(bytes));
        if (outcome.endsWith(u'*')) {
            outcome.chop(1);
            QVERIFY2(got.startsWith(outcome), qPrintable(got));
        } else {
            QCOMPARE(got, outcome);
        }
        // The parser alone never sees the key; nothing else differs.
        QCOMPARE(QString(parsed).replace(testKey, u"[key]"_s).left(outcome.size()), outcome);
    }

    // Plain HTTP only to this computer; bad addresses refused before any
    // request. "=" stands for the address with the path appended.
    void endpoints_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("resolved");
        addRows(
            {u"→https://api.openai.com/v1/chat/completions",
             u" https://example.com:8443/api/ →https://example.com:8443/api/v1/chat/completions",
             u"http://127.0.0.1:8080→=",
             u"http://127.8.9.10/prefix/→http://127.8.9.10/prefix/v1/chat/completions",
             u"http://[::1]:9→=",
             u"http://LocalHost:11434/v1x→http://localhost:11434/v1x/v1/chat/completions",
             u"http://192.168.1.5:8080→insecure", u"http://128.0.0.1→insecure",
             u"http://localhost.example.com→insecure",
             u"http://2130706433→http://127.0.0.1/v1/chat/completions", u"ftp://127.0.0.1→invalid",
             u"api.openai.com→invalid", u"https://→invalid", u"https://user:pw@example.com→invalid",
             u"https://example.com/?q=1→invalid"});
    }
    void endpoints()
    {
        QFETCH(QString, base);
        QFETCH(QString, resolved);
        const auto url = ProviderEndpoint::resolve(base, OpenAIService::defaultBaseURL,
                                                   u"/v1/chat/completions"_s);
        const QString got =
            !url ? QString::fromLatin1(
                       url.error() == ProviderEndpoint::Problem::insecure ? "insecure" : "invalid")
                 : url->toString();
        QCOMPARE(got, resolved == u"=" ? base + u"/v1/chat/completions"_s : resolved);
        if (!url) {
            // Refused at once by every client, without a transfer.
            m_server.clear();
            QCOMPARE(recognize(u"openai"_s, page(u"8x8"_s), base), u"invalidResponse"_s);
            QCOMPARE(recognize(u"gemini"_s, page(u"8x8"_s), base), u"invalidResponse"_s);
            QVERIFY(
                recognize(u"ocrspace"_s, page(u"8x8"_s), base).startsWith(u"OCRSpaceService:7:"_s));
        }
    }

    // Early failures arrive from the event loop, and never name the key.
    void failures_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("outcome");
        addRows({u"gemini→sk test→8x8→invalidResponse",
                 u"openai→sk\r\nX-Evil: 1→8x8→invalidResponse",
                 u"ocrspace→sk\nX: 1→8x8→OCRSpaceService:7:The key cannot be sent",
                 u"openai→k→0x0→invalidImage", u"gemini→k→0x0→invalidImage",
                 u"ocrspace→k→0x0→OCRSpaceService:2:Failed to convert image to JPEG"});
    }
    void failures()
    {
        QFETCH(QString, client);
        QFETCH(QString, key);
        QFETCH(QString, image);
        m_server.clear();
        QTEST(recognize(client, page(image), m_server.baseURL(), key), "outcome");
        QCOMPARE(m_server.requests().size(), 0);
        QCOMPARE(describe(OCRSpaceService::Result(
                     unexpected(OCRSpaceService::error(OCRSpaceService::keyNotFound)))),
                 u"OCRSpaceService:1:OCR.space API key not found. Please add it in Settings."_s);
    }

    // A server that never answers, or a port where none listens: a network
    // error in the shortened time, its text free of the key and the URL.
    void transferFailures_data()
    {
        QTest::addColumn<QString>("client");
        QTest::addColumn<QString>("server");
        addRows({u"openai→silent", u"gemini→silent", u"ocrspace→silent", u"gemini→closed"});
    }
    void transferFailures()
    {
        QFETCH(QString, client);
        QFETCH(QString, server);
        const std::chrono::milliseconds shortened(300);
        for (ProviderClient* c :
             std::initializer_list<ProviderClient*>{&m_openAI, &m_gemini, &m_ocrSpace}) {
            c->setTimeout(shortened);
        }
        m_server.setReply({200, {}, {}, 0, true});
        QElapsedTimer timer;
        timer.start();
        const QString got =
            recognize(client, page(u"8x8"_s),
                      server == u"silent" ? m_server.baseURL() : u"http://127.0.0.1:1"_s,
                      u"sk-secret/+key"_s);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(got.startsWith(client == u"ocrspace" ? u"QNetworkReply:"_s : u"networkError"_s),
                 qPrintable(got));
        QVERIFY(!got.contains(u"secret"_s) && !got.contains(u"key="_s));
        QCOMPARE(m_openAI.timeout(), shortened);
        m_openAI.setTimeout(OpenAIService::defaultTimeout);
        QCOMPARE(GeminiService::defaultTimeout.count(), 60'000);
        QCOMPARE(OCRSpaceService::defaultTimeout.count(), 60'000);
        QCOMPARE(OpenAIService::defaultTimeout.count(), 180'000);
    }
};

QTEST_GUILESS_MAIN(TestProviderClients)
#include "tst_providerclients.moc"
