import QtQuick

// A spring described by its response (seconds for one undamped oscillation) and damping
// fraction (1 = critically damped), converted for Qt's SpringAnimation. That animation
// steps every 16 ms with velocity += spring * offset - damping * velocity, which is a mass
// on a spring of stiffness (2π / response)² and damping 4π·fraction / response, both
// scaled by the step.
QtObject {
    property real response: 0.42
    property real dampingFraction: 0.8
    // Kept for reference: Qt retargets a running spring smoothly on its own.
    property real blendDuration: 0

    readonly property real step: 0.016
    readonly property real qtSpring: Math.pow(2 * Math.PI / response, 2) * step
    readonly property real qtDamping: 4 * Math.PI * dampingFraction / response * step
}
