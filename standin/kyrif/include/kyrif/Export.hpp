#pragma once
#define KYRIF_API __attribute__((visibility("default")))
