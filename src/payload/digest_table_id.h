// The digest table's RT_RCDATA id, shared by the resource script and the code that reads it.
#pragma once
#define PORTIVO_DIGEST_TABLE_ID 300
