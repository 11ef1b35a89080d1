// Tells Talvo which window is in front and which windows there are, over
// the session bus: Activated(pid) on each focus change and Windows(pids) as
// windows come and go, the pids as text. Talvo owns org.talvo.Foreground
// while it runs and hears only the connection that owns org.gnome.Shell;
// when it starts after the shell, it is told everything at once.
// Included by extension.js of the variant for this GNOME's shell.
const TALVO_SERVICE = 'org.talvo.Foreground';
const TALVO_PATH = '/org/talvo/Foreground';
const TALVO_MAX_WINDOWS = 1024;

class TalvoReporter {
    enable() {
        this._present = false;
        this._windowSignals = new Map();
        this._displaySignals = [
            global.display.connect('notify::focus-window', () => this._reportFocus()),
            global.display.connect('window-created', (display, window) => this._watch(window)),
        ];
        for (const actor of global.get_window_actors())
            this._watch(actor.meta_window);
        this._watcher = Gio.bus_watch_name(Gio.BusType.SESSION, TALVO_SERVICE, Gio.BusNameWatcherFlags.NONE,
            () => {
                this._present = true;
                this._reportFocus();
            },
            () => {
                this._present = false;
            });
    }

    disable() {
        Gio.bus_unwatch_name(this._watcher);
        for (const id of this._displaySignals)
            global.display.disconnect(id);
        for (const [window, id] of this._windowSignals)
            window.disconnect(id);
        this._windowSignals = null;
        this._displaySignals = null;
    }

    _watch(window) {
        if (!window || this._windowSignals.has(window))
            return;
        this._windowSignals.set(window, window.connect('unmanaged', () => {
            this._windowSignals.delete(window);
            this._reportWindows();
        }));
        this._reportWindows();
    }

    _reportFocus() {
        const window = global.display.focus_window;
        this._call('Activated', String(window ? window.get_pid() : 0));
        this._reportWindows();
    }

    _reportWindows() {
        const pids = [];
        for (const window of this._windowSignals.keys()) {
            const pid = window.get_pid();
            if (window.get_window_type() === Meta.WindowType.NORMAL && pid > 0 && !pids.includes(pid) &&
                pids.length < TALVO_MAX_WINDOWS)
                pids.push(pid);
        }
        this._call('Windows', pids.join(','));
    }

    _call(method, text) {
        if (!this._present)
            return;
        Gio.DBus.session.call(TALVO_SERVICE, TALVO_PATH, TALVO_SERVICE, method, new GLib.Variant('(s)', [text]),
            null, Gio.DBusCallFlags.NO_AUTO_START, -1, null, null);
    }
}
