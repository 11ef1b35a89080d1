// GNOME 45 and later load extensions as ES modules.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import Meta from 'gi://Meta';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

@TALVO_REPORTER@
export default class TalvoForegroundExtension extends Extension {
    enable() {
        this._reporter = new TalvoReporter();
        this._reporter.enable();
    }

    disable() {
        this._reporter.disable();
        this._reporter = null;
    }
}
