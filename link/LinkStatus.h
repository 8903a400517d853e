#pragma once

// What the link's status line says; each front end words it.
enum class LinkStatus { NotConnected, Connected, WrongModel };
