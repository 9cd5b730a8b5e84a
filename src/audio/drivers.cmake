# Audio drivers and output devices: JACK (native client) and ALSA through PortAudio.
# Global, so that tests and other layers (JACK MIDI) can link the same target.
pkg_check_modules(JACK REQUIRED IMPORTED_TARGET GLOBAL jack)
pkg_check_modules(PORTAUDIO REQUIRED IMPORTED_TARGET portaudio-2.0)
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)

add_library(tamborel_drivers STATIC
  ${CMAKE_CURRENT_LIST_DIR}/JackDriver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PortAudioDriver.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AlsaDeviceNames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioDeviceManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AudioDeviceOutput.cpp
)
target_include_directories(tamborel_drivers PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(tamborel_drivers
  PUBLIC tamborel_platform tamborel_model PkgConfig::JACK
  PRIVATE tamborel_audio PkgConfig::PORTAUDIO PkgConfig::ALSA Threads::Threads)
