// The engine's side of the panorama renderer: the renderer object of a run, the
// 5-5-5 to 5-6-5 conversion table, and loading each node's picture while a timer
// keeps the sounds alive.
#pragma once
#include <cstdint>

class ZEL_VR;
struct Warp;

// Run start: allocates and constructs the renderer object.
void Renderer_Create();
// After compilation: conversion table, Init_Resolution, Buffer, Clock_Start and
// the node picture "warpfix".
void Renderer_Start();
// END: destroys the renderer, frees the node picture and the table.
void Renderer_End();
ZEL_VR* Renderer();
const uint32_t* Conversion_Table();  // 65536 entries; null outside a run

// Loads the node's picture (timer running), stores and returns its kind (0
// panorama, 1 flat).
int Warp_Picture_Load(Warp& warp, bool with_timer = true);
