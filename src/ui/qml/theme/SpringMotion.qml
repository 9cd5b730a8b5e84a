import QtQuick

// A SpringAnimation that moves like one of the theme's springs.
SpringAnimation {
    property Spring curve: Theme.spring

    spring: curve.qtSpring
    damping: curve.qtDamping
    epsilon: 0.25
}
