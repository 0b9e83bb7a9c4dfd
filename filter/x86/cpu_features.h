// What the processor running the plugin supports, asked once.
#pragma once

bool CpuHasAvx2();
