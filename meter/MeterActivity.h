#pragma once
#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QWidget;

namespace vorda {
class SerialLayer;

// Keeps the program alive while a long meter command holds the user-interface
// thread. While one runs (and there are no other threads):
// - the busy cursor shows;
// - whenever the serial layer waits for the meter, and at the end of each
//   step the command marks, the windows get on with painting, exposing and
//   the desktop's "are you alive" check, at most every kIntervalMs; the
//   program's progress display is brought up to date just before;
// - user input, the closing of a window included, is not taken: it is
//   dropped, except in a dialog the command itself shows, and except the
//   user's wish to stop: Esc or Ctrl+C, a press of the stop control, or the close box
//   of a window ask the command to stop, which it may do between two of its
//   steps.
class MeterActivity : public QObject {
public:
    static constexpr int kIntervalMs = 40;

    explicit MeterActivity(SerialLayer& serial);
    ~MeterActivity() override;

    // Marks one command for its lifetime. Commands may nest (a read after
    // connecting); the outermost one sets things up and clears them away,
    // however it ends.
    class Scope {
    public:
        explicit Scope(MeterActivity& activity);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        MeterActivity& activity_;
    };

    bool Running() const { return depth_ > 0; }
    // The user asked the running command to stop; false again when the next
    // command begins.
    bool StopRequested() const { return stopRequested_; }
    void RequestStop() {
        if (Running()) stopRequested_ = true;
    }
    // The control (a Stop button) whose press asks the running command to
    // stop.
    void SetStopControl(QWidget* control) { stopControl_ = control; }
    // Called just before the windows paint: shows the progress so far.
    void SetRefresh(std::function<void()> refresh) { refresh_ = std::move(refresh); }
    // Called as the outermost command begins, and as it ends (before the
    // busy cursor goes, however the command ends; the end must not throw).
    void SetCommandHooks(std::function<void()> begin, std::function<void()> end) {
        commandBegins_ = std::move(begin);
        commandEnds_ = std::move(end);
    }
    // Lets the windows paint when kIntervalMs have passed since they last
    // did (or always with force); the first call of a command always does.
    void KeepAlive(bool force = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Begin();
    void End();
    // The event asks the running command to stop.
    bool AsksToStop(QObject* watched, QEvent* event) const;

    SerialLayer& serial_;
    std::function<void()> refresh_;
    std::function<void()> commandBegins_;
    std::function<void()> commandEnds_;
    int depth_ = 0;
    bool inKeepAlive_ = false;
    bool stopRequested_ = false;
    QWidget* stopControl_ = nullptr;
    QElapsedTimer sinceLast_;
};

} // namespace vorda
