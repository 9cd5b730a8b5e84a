import QtQuick
import QtTest
import Tamborel

TestCase {
    id: testCase
    name: "Theme"
    width: 400
    height: 400
    when: windowShown
    visible: true // a TestCase hides itself, and with it everything made inside it

    Component {
        id: drumComponent
        DrumImage {}
    }

    function test_drumPicturesAndFallbacks() {
        // The runner's resources hold drums/kick.png and ride.png at the top level only.
        const kick = createTemporaryObject(drumComponent, testCase, { role: "kick" });
        verify(kick.showsImage);
        verify(!findChild(kick, "fallback").visible);

        const rideBell = createTemporaryObject(drumComponent, testCase, { role: "rideBell" });
        verify(rideBell.showsImage, "found by the second, top-level lookup");

        const snare = createTemporaryObject(drumComponent, testCase, { role: "snareRim" });
        verify(!snare.showsImage);
        verify(findChild(snare, "fallback").visible);
        compare(snare.fallbackSymbol, "circle.dashed");
        compare(snare.width, 56);
        compare(findChild(snare, "fallbackIcon").size, 28);

        const hat = createTemporaryObject(drumComponent, testCase, { role: "hhPedal", size: 72 });
        compare(hat.fallbackSymbol, "circle.lefthalf.filled");
        compare(findChild(hat, "fallbackIcon").size, 36);
        compare(hat.width, 72);
    }
}
