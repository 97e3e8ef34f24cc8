// zvekop_testui.h - shared pieces of the dispatcher tests: a scripted user
// who also answers number dialogs and forms, standard-output capture, and
// small image helpers.
#ifndef ZVEKOP_TESTUI_H
#define ZVEKOP_TESTUI_H

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "ZvekOp.h"
#include "gui_fixture.h"
#include "imageops.h"

// A scripted user: every number dialog and form is recorded with its
// parameters and answered from a queue (an empty answer or an empty queue
// is Cancel).
class ScriptUi : public FakeUi {
public:
    struct DoubleAsk {
        QWidget *parent;
        QString title, label;
        double value, min, max;
        int decimals;
    };
    struct IntAsk {
        QWidget *parent;
        QString title, label;
        int value, min, max, step;
    };
    struct FormAsk {
        QWidget *parent;
        QString heading;
        QStringList labels, values;
    };
    std::vector<DoubleAsk> doubles;
    std::vector<IntAsk> ints;
    std::vector<FormAsk> forms;
    std::deque<std::optional<double>> doubleAnswers;
    std::deque<std::optional<int>> intAnswers;
    // Each answer maps the offered values to the typed ones.
    std::deque<std::optional<std::function<void(QStringList &)>>> formAnswers;

    bool getDouble(QWidget *parent, const QString &title, const QString &label, double value, double min,
                   double max, int decimals, double *result) override {
        doubles.push_back({parent, title, label, value, min, max, decimals});
        if (doubleAnswers.empty()) return false;
        std::optional<double> a = doubleAnswers.front();
        doubleAnswers.pop_front();
        if (!a) return false;
        *result = *a;
        return true;
    }
    bool getInt(QWidget *parent, const QString &title, const QString &label, int value, int min, int max,
                int step, int *result) override {
        ints.push_back({parent, title, label, value, min, max, step});
        if (intAnswers.empty()) return false;
        std::optional<int> a = intAnswers.front();
        intAnswers.pop_front();
        if (!a) return false;
        *result = *a;
        return true;
    }
    bool form(QWidget *parent, const QString &heading, const QStringList &labels, QStringList &values) override {
        forms.push_back({parent, heading, labels, values});
        if (formAnswers.empty()) return false;
        auto a = formAnswers.front();
        formAnswers.pop_front();
        if (!a) return false;
        (*a)(values);
        return true;
    }
    // Answers the next form by setting the fields named by index.
    void typeIntoForm(std::vector<std::pair<int, QString>> fields) {
        formAnswers.push_back([fields](QStringList &values) {
            for (const auto &f : fields) values[f.first] = f.second;
        });
    }
    // Everything the user was shown or asked.
    size_t interactions() const {
        return messages.size() + notices.size() + doubles.size() + ints.size() + forms.size();
    }
};

// Collects what is written to standard output between construction and
// text().
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        file_ = std::tmpfile();
        saved_ = dup(fileno(stdout));
        dup2(fileno(file_), fileno(stdout));
    }
    ~StdoutCapture() { restore(); }
    std::string text() {
        restore();
        std::string s;
        std::rewind(file_);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) s.append(buf, n);
        return s;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, fileno(stdout));
        close(saved_);
        saved_ = -1;
    }
    std::FILE *file_ = nullptr;
    int saved_ = -1;
};

// The float values of an image.
inline float *pixels(ZVEKHDR *h) { return static_cast<float *>(h->vekptr); }
inline int64_t pixelCount(const ZVEKHDR *h) { return Zvekdimen(h, ZVEK_NPIXELS); }

// Exact copy of the data of a float image, for "left as it was" checks.
inline std::vector<float> snapshot(ZVEKHDR *h) {
    return std::vector<float>(pixels(h), pixels(h) + pixelCount(h) * (h->dtype == DT_32CMP ? 2 : 1));
}

// Bit-for-bit equality of two float images' data (NaN equal to NaN).
inline bool sameData(ZVEKHDR *a, ZVEKHDR *b) {
    if (a->dtype != b->dtype || pixelCount(a) != pixelCount(b)) return false;
    const size_t n = size_t(pixelCount(a)) * (a->dtype == DT_32CMP ? 2 : 1);
    return std::memcmp(a->vekptr, b->vekptr, n * sizeof(float)) == 0;
}

// Runs action once the next modal dialog is open (polling), then lets the
// caller's code continue; the dialog is handed to action.
inline void whenModal(std::function<void(QWidget *)> action) {
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        QWidget *w = QApplication::activeModalWidget();
        if (!w) return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
}

class ZVekOpTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ZVekUi::install(&script);
        op = new ZVekOp(mw);
    }
    void TearDown() override {
        delete op;
        for (ZVEKHDR *h : owned)
            if (h) Zvekfree(h, 7);
        GuiTest::TearDown();
    }
    // An image released after the test.
    ZVEKHDR *keep(ZVEKHDR *h) {
        owned.push_back(h);
        return h;
    }
    ZVEKHDR *floatImage(std::vector<int32_t> dims, const std::function<float(int)> &f = nullptr) {
        return keep(makeFloat(dims, f));
    }
    ZVEKHDR *typedImage(const char *type, std::vector<int32_t> dims) {
        return keep(Zvekcreate(type, dims.data(), 11, 0));
    }

    ScriptUi script;
    ZVekOp *op = nullptr;
    std::vector<ZVEKHDR *> owned;
};

#endif  // ZVEKOP_TESTUI_H
