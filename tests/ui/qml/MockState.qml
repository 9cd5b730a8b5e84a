import QtQml

// Stands in for the application state: the fields the components read, and a record of
// the operations they call.
QtObject {
    property var kit: ({ name: "Funk", masterVolume: 1, pads: [] })
    property bool dirty: false
    property var midiSources: []
    property bool td17Detected: false
    property string lastHit: "\u2014"
    property real latencyMs: 0
    property bool engineRunning: false
    property var kits: []

    property int newKitCalls: 0
    property int saveKitCalls: 0
    property var loaded: []

    function savedKits() { return kits; }
    function newKit() { newKitCalls += 1; }
    function saveKit() { saveKitCalls += 1; dirty = false; }
    function loadKit(path) { loaded = loaded.concat([String(path)]); }
}
