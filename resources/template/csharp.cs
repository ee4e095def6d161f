using System;

namespace App
{
    internal static class Program
    {
        private static void Main(string[] args)
        {
            $0
        }
    }
}
