#!/usr/bin/python3
"""A standard Modbus RTU slave (pymodbus) on a serial device, for tests that let a Modbus
implementation nobody here wrote judge our polling and reception.

    modbus_slave.py DEVICE UNIT REGISTERS LOG

serves the comma-separated REGISTERS as input registers 0.. (function 4) at unit address UNIT on
DEVICE, and appends one line "read <first> <count>" to LOG for every read it answers. Runs until
it is killed.
"""

import sys

from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                ModbusSlaveContext)
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusRtuFramer


class LoggedBlock(ModbusSequentialDataBlock):
    def __init__(self, values, log):
        super().__init__(0, values)
        self.log = log

    def getValues(self, address, count=1):
        with open(self.log, "a") as out:
            out.write(f"read {address} {count}\n")
        return super().getValues(address, count)


def main():
    device, unit, registers, log = sys.argv[1:5]
    values = [int(v) for v in registers.split(",")]
    # zero_mode: request address 0 is the first value, as the protocol numbers them.
    store = ModbusSlaveContext(ir=LoggedBlock(values, log), zero_mode=True)
    context = ModbusServerContext(slaves={int(unit): store}, single=False)
    StartSerialServer(context=context, framer=ModbusRtuFramer, port=device, baudrate=9600)


if __name__ == "__main__":
    main()
